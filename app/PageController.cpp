// Next, Back and Cancel: which page is in front, which buttons work and when
// the program ends. Web pages open, and the window closes at the end, on the
// tick of ShellExecuteTimer after the asking handler has returned.

#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include "winsupport/MessageCatalogue.h"
#include "app/frmMain.h"
#include "repair/RepairSupervisor.h"
#include "winsupport/LateImports.h"
#include "winsupport/RaisedError.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

void frmMain::OnNextClick() {
    const std::int32_t step = WizardStep;
    try {
        switch (step) {
            case 1:
                WizardStep = 2;
                controls_.SetEnabled(cmdZurück, true);
                controls_.SetText(cmdAbbrechen, LoadMessage(msg::CloseButton));
                CheckVersions();
                break;
            case 2:
                FillFileVersionList();
                SetRepairPageTooltipTitle();
                ::SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
                StartKeyCheck();
                WizardStep = 3;
                // The shield: pressing the button asks for administrator rights.
                ::SendMessageW(Control(cmdRepairMDAC), BCM_SETSHIELD, 0,
                               CurrentRights() == Rights::CanAsk ? TRUE : FALSE);
                if (!RepairDone) {
                    controls_.SetEnabled(cmdWeiter, false);
                    ::SetFocus(Control(cmdRepairMDAC));
                }
                ShowPage(pic3);
                break;
            case 3:
                if (::SendMessageA(Control(optFurtherProblems), BM_GETCHECK, 0, 0) == BST_CHECKED) {
                    LinkUrl =
                        LoadMessage(WindowsVersion == WindowsXP ? msg::XpServicePackUrl : msg::RepairInstructionsUrl);
                    controls_.SetText(lblRepairUrl, LinkUrl);
                    controls_.SetText(Label3,
                                      FormatPlaceholders(LoadMessage(msg::CompareFileVersions), {MdacVersionPrefix}));
                    controls_.SetEnabled(cmdWeiter, false);
                    WizardStep = 4;
                    ShowPage(pic4);
                } else {
                    PressCancel();  // with RepairDone set, Cancel leads to the final page
                }
                break;
            default:
                break;  // Next is disabled on pages 4 and 5
        }
    } catch (const RaisedError& error) {
        ReportNextError(step, error.Description());
    } catch (const std::exception& error) {
        ReportNextError(step, FromAnsi(error.what()));
    }
}

void frmMain::ReportNextError(std::int32_t step, const std::wstring& description) {
    const std::wstring text = LoadMessage(msg::FileNameCaption) + L"\r" + description;
    ::MessageBoxA(window_, ToAnsi(text).c_str(), ToAnsi(LoadMessage(msg::ProgramTitle)).c_str(),
                  MB_OK | MB_ICONINFORMATION);
    if (window_ == nullptr) return;
    if (step == 1) {
        // The version page never came forward; a step of 2 would make the next
        // Next skip it.
        ShowWelcomePage();
        return;
    }
    if (WizardStep == 3) {
        // Leave the repair page usable, whatever the failed step had changed.
        ShowPage(pic3);
        controls_.SetVisible(cmdRepairMDAC, true);
        controls_.SetVisible(lblHeaderExplanation2, true);
        controls_.SetVisible(Label4, true);
        controls_.SetEnabled(cmdZurück, true);
        controls_.SetEnabled(cmdAbbrechen, true);
        controls_.SetEnabled(cmdWeiter, true);
        SetMousePointer(MousePointer::Default);
    }
}

void frmMain::ShowWelcomePage() {
    WizardStep = 1;
    ShowPage(pic1);
    controls_.SetEnabled(cmdZurück, false);
    controls_.SetText(cmdAbbrechen, LoadMessage(msg::CancelButton));
}

void frmMain::OnBackClick() {
    controls_.SetEnabled(cmdWeiter, true);
    switch (WizardStep) {
        case 2:
            ShowWelcomePage();
            break;
        case 3:
            WizardStep = 2;
            ShowPage(pic2);
            break;
        case 4:
            WizardStep = 3;
            ShowPage(pic3);
            break;
        default:
            break;  // Back is disabled on pages 1 and 5
    }
}

void frmMain::OnCancelClick() {
    if (WizardStep == 5) {
        LinkUrl.clear();
        ShellExecuteTimer.SetEnabled(true);
        ProcessPendingMessages();
        return;
    }
    if (RepairDone) {
        WizardStep = 5;
        controls_.SetEnabled(cmdZurück, false);
        controls_.SetEnabled(cmdWeiter, false);
        // Back to the welcome page had made it "Cancel" again, but here it ends the program.
        controls_.SetText(cmdAbbrechen, LoadMessage(msg::CloseButton));
        ShowPage(pic5);
        return;
    }
    if (!tmrTooltipRemoveCheck.Enabled()) Unload();
}

void frmMain::StartOle() {
    if (!ole_) ole_.emplace();
}

void frmMain::OnShellExecuteTimer() {
    ShellExecuteTimer.SetEnabled(false);
    if (!LinkUrl.empty()) {
        StartOle();
        // No owner window and no result check: a missing browser is not reported.
        late::ShellExecuteA(nullptr, "open", ToAnsi(LinkUrl).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    if (WizardStep == 5) Unload();
}

void frmMain::ShowPage(ControlId panel) {
    HWND page = Control(panel);
    if (page == nullptr) return;
    controls_.MakePage(panel);
    // Only the page in front is visible: a covered page looks the same on
    // screen, but a screen reader would read its texts too. The others are
    // hidden before the new one shows, so that nothing reading the window in
    // between finds two pages; nothing paints in between either. The page goes
    // in front of the other pages but stays behind the button bar, so that the
    // buttons keep the first places in the tab order; only the front page
    // lets the keyboard into its controls.
    for (ControlId other : {pic1, pic2, pic3, pic4, pic5}) {
        HWND otherPage = Control(other);
        LONG_PTR exStyle = ::GetWindowLongPtrA(otherPage, GWL_EXSTYLE);
        exStyle =
            other == panel ? (exStyle | WS_EX_CONTROLPARENT) : (exStyle & ~static_cast<LONG_PTR>(WS_EX_CONTROLPARENT));
        ::SetWindowLongPtrA(otherPage, GWL_EXSTYLE, exStyle);
        if (other != panel) ::ShowWindow(otherPage, SW_HIDE);
    }
    ::SetWindowPos(page, Control(cmdAbbrechen), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    controls_.SetVisible(cmdWhichPrograms, panel == pic4);
    DescribeControls();
}

void frmMain::Unload() {
    if (window_ != nullptr) ::DestroyWindow(window_);
}

void frmMain::QueryCloseWindow(bool& cancel, int reason) {
    if (reason != kClosedByUser) return;
    cancel = true;
    PressCancel();
}

void frmMain::RequestClose(int reason) {
    bool cancel = false;
    QueryCloseWindow(cancel, reason);
    if (!cancel) Unload();
}

void frmMain::PressCancel() {
    // A disabled Cancel (during the repair run) cannot be pressed, by the
    // close box or the Esc key either.
    HWND cancelButton = Control(cmdAbbrechen);
    if (cancelButton != nullptr && ::IsWindowEnabled(cancelButton)) OnCancelClick();
    KeepFocusInside();
}

void frmMain::KeepFocusInside() {
    // Only while the window is active: the browser a link opened keeps its focus.
    if (window_ == nullptr || ::GetActiveWindow() != window_) return;
    const auto usable = [this](HWND control) {
        const ControlLayout* layout = controls_.LayoutOf(control);
        return layout != nullptr && layout->kind != ControlKind::Panel && ::IsWindowVisible(control) &&
               ::IsWindowEnabled(control);
    };
    // A button disabled or a control hidden under the focus leaves it nowhere.
    if (usable(::GetFocus())) return;
    HWND next = Control(cmdWeiter);
    if (usable(next)) {
        ::SetFocus(next);
        return;
    }
    for (ControlId page : {pic1, pic2, pic3, pic4, pic5}) {
        HWND panel = Control(page);
        if (panel == nullptr || !::IsWindowVisible(panel)) continue;
        HWND first = ::GetNextDlgTabItem(panel, nullptr, FALSE);
        if (first != nullptr && ::IsChild(panel, first) && usable(first)) {
            ::SetFocus(first);
            return;
        }
    }
    if (usable(Control(cmdAbbrechen))) ::SetFocus(Control(cmdAbbrechen));
}
