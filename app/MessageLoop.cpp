// The window's message loops. Both route keys through the dialog manager so
// that Tab, Enter (Next) and Esc (Cancel) work as in a dialog.

#include "app/frmMain.h"

namespace {
void Deliver(HWND window, MSG& message) {
    if (window != nullptr && ::IsWindow(window) && ::IsDialogMessageA(window, &message)) return;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
}
}  // namespace

int frmMain::RunMessageLoop() {
    MSG message{};
    while (window_ != nullptr) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // leave it for an outer loop
            return static_cast<int>(message.wParam);
        }
        if (got == -1) return 1;
        Deliver(window_, message);
    }
    return 0;
}

void frmMain::ProcessPendingMessages() {
    MSG message{};
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Deliver(window_, message);
    }
}
