// The link labels' click, the window's tooltip object, and the key check
// that guards Cancel on the repair page.

#include <windows.h>
#include <commctrl.h>

#include "app/frmMain.h"
#include "ui/cTooltips.h"

namespace {
constexpr UINT kKeyCheckStartDelay = 700;
constexpr UINT kKeyCheckPollInterval = 5;
}  // namespace

void frmMain::CreateTooltipObject() {
    if (tooltips_) return;
    tooltips_ = std::make_unique<cTooltips>();
    tooltips_->Create(window_, TTS_ALWAYSTIP | TTS_BALLOON);
    tooltips_->SetIcon(TTI_WARNING);
}

void frmMain::ReleaseTooltipObject() {
    tooltips_.reset();
}

void frmMain::SetRepairPageTooltipTitle() {
    // Reached before the first idle moment when Next is pressed quickly.
    CreateTooltipObject();
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

void frmMain::OnLinkClick(ControlId id) {
    // LinkUrl may hold the other label's address by now; a label opens the one it shows.
    if (HWND label = Control(id)) LinkUrl = LinkLabels::Caption(label);
    // The page opens on the timer's tick, after this click has been handled.
    ShellExecuteTimer.SetEnabled(true);
    ProcessPendingMessages();
    if (HWND label = Control(id)) links_.Clicked(label);
}
