// Entry point: one window, its message loop, and the end of the process when
// the window is gone.

#include <ole2.h>
#include <windows.h>

#include "app/frmMain.h"

namespace {
// Self-registration code of COM components expects OLE on the calling thread.
class OleSession {
public:
    OleSession() noexcept : initialised_(SUCCEEDED(::OleInitialize(nullptr))) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() {
        if (initialised_) ::OleUninitialize();
    }

private:
    bool initialised_;
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    OleSession ole;
    frmMain window;
    if (!window.Create()) return 1;
    window.Show();
    return window.RunMessageLoop();
}
