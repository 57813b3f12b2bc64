// Next, Back and Cancel through the five pages, pressed with real input, and
// the deferred opener that opens web pages and closes the window at the end.

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <utility>

#include "tests/WizardHarness.h"
#include "ui/AccessibleControls.h"
#include "winsupport/RaisedError.h"

namespace {

using harness::Localized;
using harness::WindowText;

class PageController : public ::testing::Test {
protected:
    void SetUp() override { Start(std::make_unique<frmMain>()); }
    void Start(std::unique_ptr<frmMain> window) {
        form = std::move(window);
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 50);
        harness::ClearOpenedUrls();
    }
    HWND C(ControlId id) const { return form->Control(id); }
    // A real mouse click on a button, then the window's messages.
    void Click(ControlId id) {
        harness::ClickWithMouse(C(id));
        harness::Pump(*form, 60);
    }
    void ExpectPage(int step, ControlId page) {
        EXPECT_EQ(form->WizardStep, step);
        EXPECT_EQ(harness::FrontPage(*form), page);
    }
    void ExpectButtons(bool back, bool next, bool cancel) {
        EXPECT_EQ(::IsWindowEnabled(C(cmdZurück)) != FALSE, back) << "Back";
        EXPECT_EQ(::IsWindowEnabled(C(cmdWeiter)) != FALSE, next) << "Next";
        EXPECT_EQ(::IsWindowEnabled(C(cmdAbbrechen)) != FALSE, cancel) << "Cancel";
    }
    void RunRepair() {
        Click(cmdRepairMDAC);
        ASSERT_TRUE(harness::PumpUntil(
            *form, [&] { return form->RepairDone; }, 30000));
    }
    std::wstring CancelCaption() const { return WindowText(C(cmdAbbrechen)); }
    std::unique_ptr<frmMain> form;
};

TEST_F(PageController, NextAndBackThroughTheFirstThreePages) {
    ExpectPage(1, pic1);
    ExpectButtons(false, true, true);
    EXPECT_EQ(CancelCaption(), Localized(L"Cancel", L"Abbrechen"));

    Click(cmdWeiter);
    ExpectPage(2, pic2);
    ExpectButtons(true, true, true);
    EXPECT_EQ(CancelCaption(), Localized(L"Close", L"Schlie\u00dfen"));
    EXPECT_EQ(WindowText(C(cmdWeiter)), Localized(L"Next >", L"Weiter >"));

    Click(cmdWeiter);
    ExpectPage(3, pic3);
    ExpectButtons(true, false, true);
    EXPECT_EQ(::GetFocus(), C(cmdRepairMDAC));

    Click(cmdZurück);
    ExpectPage(2, pic2);
    ExpectButtons(true, true, true);

    Click(cmdZurück);
    ExpectPage(1, pic1);
    ExpectButtons(false, true, true);
    EXPECT_EQ(CancelCaption(), Localized(L"Cancel", L"Abbrechen"));
    EXPECT_EQ(WindowText(C(cmdZurück)), Localized(L"< Back", L"< Zur\u00fcck"));
}

TEST_F(PageController, EnterPressesNextAndEscPressesCancel) {
    ::SetForegroundWindow(form->hwnd());
    ::SetFocus(C(cmdWeiter));
    harness::PressKey(VK_RETURN);
    harness::Pump(*form, 80);
    ExpectPage(2, pic2);
    harness::PressKey(VK_ESCAPE);
    EXPECT_TRUE(harness::PumpUntil(*form, [&] { return !form->IsLoaded(); })) << "Esc on the version page ends";
}

TEST_F(PageController, CancelBeforeAnyRepairEndsTheProgram) {
    Click(cmdAbbrechen);
    EXPECT_FALSE(form->IsLoaded()) << "welcome page";

    Start(std::make_unique<frmMain>());
    Click(cmdWeiter);
    Click(cmdAbbrechen);
    EXPECT_FALSE(form->IsLoaded()) << "version page";
    EXPECT_TRUE(harness::OpenedUrls().empty());
}

// Moved to a 150 % monitor while the run goes on (a timer of this thread fires
// while the run lets messages through): the run ends as usual, laid out for
// 144 dpi.
frmMain* g_moved = nullptr;
bool g_movedDuringRun = false;
void CALLBACK MoveToAnotherMonitor(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    g_movedDuringRun = !g_moved->RepairDone && !::IsWindowVisible(g_moved->Control(cmdRepairMDAC));
    RECT frame{};
    ::GetWindowRect(g_moved->hwnd(), &frame);
    frame.right += (frame.right - frame.left) / 2;
    frame.bottom += (frame.bottom - frame.top) / 2;
    constexpr UINT kDpiChanged = 0x02E0;
    ::SendMessageW(g_moved->hwnd(), kDpiChanged, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&frame));
}

// What a screen reader is told during the run, counted per control and event.
std::map<std::pair<HWND, DWORD>, int> g_events;
void CALLBACK CountEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF) ++g_events[{window, event}];
}

TEST_F(PageController, RepairRunEndsWithTheQuestionAndNextFocused) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    g_moved = form.get();
    g_movedDuringRun = false;
    g_events.clear();
    const HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_NAMECHANGE, kEventLiveRegionChanged, nullptr, &CountEvent,
                                                 ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 1000, &MoveToAnotherMonitor);
    RunRepair();
    harness::Pump(*form, 100);
    ::KillTimer(nullptr, timer);  // in case it never fired
    ::UnhookWinEvent(hook);
    EXPECT_TRUE(g_movedDuringRun);
    // The start, the end and the question, and never a file in between; the
    // bar tells its progress itself.
    const DWORD announced =
        LiveRegionsAvailable(RunningWindowsRelease()) ? kEventLiveRegionChanged : EVENT_OBJECT_NAMECHANGE;
    const auto told = [](HWND window, DWORD event) { return g_events[std::make_pair(window, event)]; };
    EXPECT_EQ(told(C(Label1), announced), 2);
    EXPECT_EQ(told(C(Label16), announced), 1);
    EXPECT_EQ(told(C(Label2), announced), 0);
    // Once per step, but for the first, whose event Wine's bar does not raise.
    EXPECT_GE(told(C(ProgressBar1), EVENT_OBJECT_VALUECHANGE), 20);
    EXPECT_LE(told(C(ProgressBar1), EVENT_OBJECT_VALUECHANGE), 31);
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(C(Label1), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, -::MulDiv(825, 144, 7200));
    ExpectPage(3, pic3);
    ExpectButtons(true, true, true);
    EXPECT_EQ(::GetFocus(), C(cmdWeiter));
    EXPECT_FALSE(::IsWindowVisible(C(cmdRepairMDAC)));
    EXPECT_FALSE(::IsWindowVisible(C(Label2)));
    EXPECT_FALSE(::IsWindowVisible(C(ProgressBar1)));
    EXPECT_FALSE(::IsWindowVisible(C(imgRepairing)));
    EXPECT_TRUE(::IsWindowVisible(C(Label16)));
    EXPECT_TRUE(::IsWindowVisible(C(optResolved)));
    EXPECT_TRUE(::IsWindowVisible(C(optFurtherProblems)));
    EXPECT_EQ(
        WindowText(C(Label1)),
        Localized(L"Verifying and repairing the MDAC files has finished!\n\nPlease check whether your problematic "
                  L"program seems to work correctly now.",
                  L"\u00dcberpr\u00fcfung und Reparatur der MDAC-Dateien abgeschlossen!\n\nPr\u00fcfen Sie, ob "
                  L"Ihre problematische Anwendung jetzt funktioniert."));
}

TEST_F(PageController, ResolvedLeadsToTheFinalPageAndCloseEndsWithoutAWebPage) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    RunRepair();
    Click(cmdWeiter);  // "resolved" is selected by default
    ExpectPage(5, pic5);
    ExpectButtons(false, false, true);
    EXPECT_EQ(CancelCaption(), Localized(L"Close", L"Schlie\u00dfen"));
    EXPECT_EQ(WindowText(C(lblHeader4)), Localized(L"Problem Resolved?", L"Problem behoben?"));

    form->LinkUrl = L"https://example.invalid/never-opened";
    Click(cmdAbbrechen);
    EXPECT_TRUE(harness::PumpUntil(*form, [&] { return !form->IsLoaded(); }));
    EXPECT_TRUE(form->LinkUrl.empty());
    harness::Pump(*form, 300);
    EXPECT_TRUE(harness::OpenedUrls().empty()) << "Close on the final page opens no web page";
}

TEST_F(PageController, FurtherProblemsLeadToTheFileVersionPage) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    RunRepair();
    Click(optFurtherProblems);
    EXPECT_EQ(::SendMessageW(C(optFurtherProblems), BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(cmdWeiter);
    ExpectPage(4, pic4);
    ExpectButtons(true, false, true);
    EXPECT_TRUE(::IsWindowVisible(C(cmdWhichPrograms))) << "the file page's own button";
    const bool xp = harness::Profile() == "xp";
    const std::wstring expectedUrl =
        xp ? Localized(L"/en/download/mdac_xp_sp2.html", L"/de/download/mdac_xp_sp2.html")
           : Localized(L"/en/download/repair_mdac.html", L"/de/download/mdac_reparieren.html");
    ASSERT_GT(form->LinkUrl.size(), expectedUrl.size());
    EXPECT_EQ(form->LinkUrl.substr(form->LinkUrl.size() - expectedUrl.size()), expectedUrl);
    EXPECT_EQ(WindowText(C(lblRepairUrl)), form->LinkUrl) << "the link shows its address";
    // No MDAC version was found, so the version in the instruction is empty.
    EXPECT_EQ(WindowText(C(Label3)),
              Localized(L"Please check if all listed files have the version . If that's not the case, click the link "
                        L"below to open a Web page with further instructions.",
                        L"Bitte vergleichen Sie, ob alle Dateien die Version  haben. Falls dies nicht der Fall ist, "
                        L"klicken Sie auf den Link unten, um eine Webseite mit weiteren Anweisungen zu \u00f6ffnen."));

    Click(cmdZurück);
    ExpectPage(3, pic3);
    ExpectButtons(true, true, true);
    EXPECT_FALSE(::IsWindowVisible(C(cmdWhichPrograms)));
    Click(cmdWeiter);
    ExpectPage(4, pic4);
    Click(cmdAbbrechen);
    ExpectPage(5, pic5);
    ExpectButtons(false, false, true);
    EXPECT_FALSE(::IsWindowVisible(C(cmdWhichPrograms)));
    EXPECT_TRUE(form->IsLoaded());
}

TEST_F(PageController, AfterARepairCloseOnAnyEarlierPageShowsTheFinalPage) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    RunRepair();
    Click(cmdZurück);
    Click(cmdZurück);
    ExpectPage(1, pic1);
    EXPECT_EQ(CancelCaption(), Localized(L"Cancel", L"Abbrechen"));
    // The close box now leads to the final page instead of ending the program.
    ::PostMessageW(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    harness::Pump(*form, 80);
    ExpectPage(5, pic5);
    ExpectButtons(false, false, true);
    EXPECT_EQ(CancelCaption(), Localized(L"Close", L"Schlie\u00dfen"));
    // Alt+F4 on the final page ends the program.
    ::SetForegroundWindow(form->hwnd());
    harness::PressKeyWithAlt(VK_F4);
    EXPECT_TRUE(harness::PumpUntil(*form, [&] { return !form->IsLoaded(); }));
}

TEST_F(PageController, BackAndNextAgainRerunTheVersionStep) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    RunRepair();
    Click(cmdZurück);
    ExpectPage(2, pic2);
    Click(cmdWeiter);
    // After a repair, Next stays enabled on the repair page.
    ExpectPage(3, pic3);
    ExpectButtons(true, true, true);
}

TEST_F(PageController, DeferredOpenerOpensTheStoredAddressOncePerArming) {
    form->LinkUrl = L"https://www.velmorant.example/en/download/mdac.html";
    form->ShellExecuteTimer.SetEnabled(true);
    form->ShellExecuteTimer.SetEnabled(true);  // armed twice before the tick
    ASSERT_TRUE(harness::PumpUntil(
        *form, [] { return !harness::OpenedUrls().empty(); }, 10000));
    harness::Pump(*form, 500);
    EXPECT_EQ(harness::OpenedUrls(), std::vector<std::string>{"https://www.velmorant.example/en/download/mdac.html"});
    EXPECT_FALSE(form->ShellExecuteTimer.Enabled());
    EXPECT_TRUE(form->IsLoaded()) << "only the final page closes the window";

    harness::ClearOpenedUrls();
    form->LinkUrl.clear();
    form->ShellExecuteTimer.SetEnabled(true);
    harness::Pump(*form, 300);
    EXPECT_TRUE(harness::OpenedUrls().empty()) << "an empty address opens nothing";
}

// A window whose version check or list filling fails the way the formatter
// and the registry class report errors.
class FailingWizard : public frmMain {
public:
    bool failVersionCheck = false;
    bool failOnRepairPage = false;

protected:
    void CheckVersions() override {
        if (failVersionCheck) throw RaisedError(26001, L"MdacRepair.cRegistry", L"Failed to open key");
        frmMain::CheckVersions();
    }
    void FillFileVersionList() override {
        if (!failOnRepairPage) return;
        // As if the failure came after the repair page had taken over.
        WizardStep = 3;
        ::ShowWindow(Control(cmdRepairMDAC), SW_HIDE);
        ::ShowWindow(Control(lblHeaderExplanation2), SW_HIDE);
        ::ShowWindow(Control(Label4), SW_HIDE);
        ::EnableWindow(Control(cmdWeiter), FALSE);
        ::EnableWindow(Control(cmdZurück), FALSE);
        throw RaisedError(-2147221502, L"printf", L"Missing value");
    }
};

TEST_F(PageController, AnErrorInNextIsShownAndTheWizardStaysUsable) {
    auto failing = std::make_unique<FailingWizard>();
    FailingWizard& wizard = *failing;
    failing->failVersionCheck = true;
    Start(std::move(failing));
    harness::MessageBoxWatcher watcher;
    Click(cmdWeiter);
    ASSERT_TRUE(harness::PumpUntil(*form, [&] { return watcher.Seen(); }));
    harness::Pump(*form, 50);
    EXPECT_EQ(watcher.Text(), Localized(L"File Name", L"Dateiname") + L"\rFailed to open key");
    EXPECT_EQ(watcher.Caption(), Localized(L"MDAC Analysis and Repair Program", L"MDAC-Analyse und Reparaturprogramm"));
    EXPECT_TRUE(watcher.HadInformationIcon());
    // The version page did not come forward, so the wizard stays on the welcome page.
    ExpectPage(1, pic1);
    ExpectButtons(false, true, true);
    EXPECT_EQ(CancelCaption(), Localized(L"Cancel", L"Abbrechen"));
    wizard.failVersionCheck = false;
    Click(cmdWeiter);
    ExpectPage(2, pic2);
}

TEST_F(PageController, AnErrorOnTheRepairPageRestoresIt) {
    auto failing = std::make_unique<FailingWizard>();
    failing->failOnRepairPage = true;
    Start(std::move(failing));
    Click(cmdWeiter);
    harness::MessageBoxWatcher watcher;
    Click(cmdWeiter);
    ASSERT_TRUE(harness::PumpUntil(*form, [&] { return watcher.Seen(); }));
    harness::Pump(*form, 50);
    EXPECT_EQ(watcher.Text(), Localized(L"File Name", L"Dateiname") + L"\rMissing value");
    ExpectPage(3, pic3);
    ExpectButtons(true, true, true);
    EXPECT_TRUE(::IsWindowVisible(C(cmdRepairMDAC)));
    EXPECT_TRUE(::IsWindowVisible(C(lblHeaderExplanation2)));
    EXPECT_TRUE(::IsWindowVisible(C(Label4)));
}

}  // namespace
