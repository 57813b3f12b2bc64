// The link labels' hover underline, hand cursor and click, the window's
// tooltip object, and the key check that guards Cancel on the repair page.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/frmMain.h"
#include "resources/resource.h"
#include "ui/cTooltips.h"
#include "winsupport/TextCodec.h"

namespace {
constexpr UINT kKeyCheckStartDelay = 700;
constexpr UINT kKeyCheckPollInterval = 5;
constexpr UINT_PTR kHoverSubclassId = 1;

std::wstring CaptionOf(HWND label) {
    const int length = ::GetWindowTextLengthA(label);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(label, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return FromAnsi(text);
}
}  // namespace

void frmMain::CreateTooltipObject() {
    tooltips_ = std::make_unique<cTooltips>();
    tooltips_->Create(window_, TTS_ALWAYSTIP | TTS_BALLOON);
    tooltips_->SetIcon(TTI_WARNING);
}

void frmMain::ReleaseTooltipObject() {
    tooltips_.reset();
}

void frmMain::SetRepairPageTooltipTitle() {
    if (tooltips_) tooltips_->SetTitle(L" ");
}

void frmMain::StartKeyCheck() {
    tmrTooltipRemoveCheck.SetInterval(kKeyCheckStartDelay);
    tmrTooltipRemoveCheck.SetEnabled(true);
}

void frmMain::OnKeyCheckTimer() {
    tmrTooltipRemoveCheck.SetInterval(kKeyCheckPollInterval);
    // Codes 1, 2 and 4 are the mouse buttons; any key or button down ends the check.
    for (int key = 1; key <= 255; ++key) {
        if (::GetAsyncKeyState(key) < 0) {
            tmrTooltipRemoveCheck.SetEnabled(false);
            break;
        }
    }
}

// ---- hover ----------------------------------------------------------------------------

void frmMain::InstallHoverHandlers(ControlId panel) {
    // Only these labels take part; the page and the window report mouse moves themselves.
    for (ControlId id : {lblDownloadMDAC, lblRepairUrl, lblMDACVerDescr, lblJetVerDescr}) {
        HWND label = Made(id);
        if (label == nullptr || ::GetParent(label) != Made(panel)) continue;
        if (!linkCursor_) {
            linkCursor_.reset(static_cast<HCURSOR>(
                ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND), IMAGE_CURSOR, 32, 32, 0)));
        }
        ::SetWindowSubclass(label, &frmMain::HoverLabelProc, kHoverSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
}

LRESULT CALLBACK frmMain::HoverLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR form) {
    auto* self = reinterpret_cast<frmMain*>(form);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(label, &frmMain::HoverLabelProc, kHoverSubclassId);
    } else if (message == WM_MOUSEMOVE && self != nullptr) {
        if (self->IsLinkLabel(label)) {
            self->HoverOn(label);
        } else {
            self->HoverOff();
        }
    }
    return ::DefSubclassProc(label, message, wParam, lParam);
}

bool frmMain::IsUnderlined(HWND label) const {
    const ControlLayout* layout = LayoutOf(label);
    return layout != nullptr && controlFonts_[Slot(layout->id)].lfUnderline != 0;
}

void frmMain::SetUnderline(HWND label, bool underline) {
    const ControlLayout* layout = LayoutOf(label);
    if (layout == nullptr) return;
    LOGFONTA font = controlFonts_[Slot(layout->id)];
    font.lfUnderline = underline ? TRUE : FALSE;
    HFONT handle = FontFor(font);
    if (handle == nullptr) return;
    controlFonts_[Slot(layout->id)] = font;
    ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
}

void frmMain::HoverOn(HWND label) {
    if (IsUnderlined(label)) return;  // an underlined link is always the hover label
    if (HoverLabel != nullptr) SetUnderline(HoverLabel, false);
    HoverLabel = label;
    SetUnderline(label, true);
}

void frmMain::HoverOff() {
    if (HoverLabel == nullptr) return;
    SetUnderline(HoverLabel, false);
    HoverLabel = nullptr;
}

void frmMain::OnLinkClick(ControlId id) {
    // LinkUrl may hold the other label's address by now; a label opens the one it shows.
    if (HWND label = Control(id)) LinkUrl = CaptionOf(label);
    // The page opens on the timer's tick, after this click has been handled.
    ShellExecuteTimer.SetEnabled(true);
    ProcessPendingMessages();
    if (HWND label = Control(id)) SetUnderline(label, false);
}

bool frmMain::SetLinkCursor(HWND under) {
    if (!IsLinkLabel(under) || !linkCursor_) return false;
    ::SetCursor(linkCursor_.get());
    return true;
}
