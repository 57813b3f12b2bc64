// Entry point: one window, its message loop, and the end of the process when
// the window is gone.

#include <windows.h>

#include "app/frmMain.h"
#include "repair/RegistrationWorker.h"
#include "winsupport/DllSearch.h"
#include "winsupport/OleSession.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL by name.
    RestrictDllSearch();
    int exitCode = 0;
    if (ServeRegistrationsIfAsked(::GetCommandLineW(), exitCode)) return exitCode;
    const OleSession ole;
    frmMain window;
    if (!window.Create()) return 1;
    window.Show();
    return window.RunMessageLoop();
}
