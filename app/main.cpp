// Entry point: the wizard's window and its message loop, or, asked on the
// command line, the check or repair without a window.

#include <windows.h>

#include <string>

#include "app/CommandLine.h"
#include "app/Unattended.h"
#include "app/frmMain.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairSupervisor.h"
#include "winsupport/DllSearch.h"
#include "winsupport/LateImports.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/OleSession.h"

namespace {

int ShowUsage(const std::wstring& error) {
    const std::wstring text = (error.empty() ? L"" : error + L"\n\n") + LoadMessage(msg::CommandLineUsage);
    ::MessageBoxW(nullptr, text.c_str(), LoadMessage(msg::ProgramTitle).c_str(),
                  MB_OK | (error.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
    return error.empty() ? 0 : kExitBadCommandLine;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL by name.
    RestrictDllSearch();
    int exitCode = 0;
    if (ServeRegistrationsIfAsked(::GetCommandLineW(), exitCode)) return exitCode;
    if (ServeRepairIfAsked(::GetCommandLineW(), exitCode)) return exitCode;
    const CommandRequest request = ParseCommandLine(CommandLineArguments(::GetCommandLineW()));
    if (request.mode == CommandMode::Usage || (request.mode == CommandMode::Wizard && !request.error.empty())) {
        return ShowUsage(request.error);
    }
    if (request.mode != CommandMode::Wizard) {
        const OleSession ole;
        return RunUnattended(request);
    }
    frmMain window;
    if (!window.Create()) return 1;
    window.Show();
    return window.RunMessageLoop();
}
