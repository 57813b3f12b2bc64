// Walks the wizard, started as its own process, through its pages from the
// outside with button clicks, and asks for a screenshot at each page: it
// prints "name left top width height" and waits for a line on its input.

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/frmMain.h"

namespace {

HWND g_wizard = nullptr;

HWND ControlById(int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        g_wizard,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (::GetDlgCtrlID(child) == s->id) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Shoot(const char* name) {
    ::Sleep(400);  // let the page paint
    RECT frame{};
    ::GetWindowRect(g_wizard, &frame);
    std::printf("%s %ld %ld %ld %ld\n", name, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
    std::fflush(stdout);
    char answer[16];
    return std::fgets(answer, sizeof(answer), stdin) != nullptr;
}

void Click(int id) {
    HWND button = ControlById(id);
    if (button != nullptr) ::SendMessageA(button, BM_CLICK, 0, 0);
    ::Sleep(300);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 1;
    UniqueKernelHandle wizardProcess(process.hProcess);
    UniqueKernelHandle wizardThread(process.hThread);
    ::WaitForInputIdle(wizardProcess.get(), 20000);
    for (int i = 0; i < 200 && g_wizard == nullptr; ++i) {
        g_wizard = ::FindWindowA("MdacRepairWizard", nullptr);
        ::Sleep(50);
    }
    int result = 1;
    if (g_wizard != nullptr) {
        result = 0;
        Shoot("1-welcome");
        Click(cmdWeiter);
        Shoot("2-versions");
        Click(cmdWeiter);
        Shoot("3-repair");
        Click(cmdRepairMDAC);
        for (int i = 0; i < 600 && !::IsWindowEnabled(ControlById(cmdWeiter)); ++i) ::Sleep(50);
        Shoot("4-repair-done");
        Click(optFurtherProblems);
        Click(cmdWeiter);
        Shoot("5-file-versions");
        Click(cmdAbbrechen);
        Shoot("6-final");
        Click(cmdAbbrechen);
    }
    if (::WaitForSingleObject(wizardProcess.get(), 10000) != WAIT_OBJECT_0) {
        ::TerminateProcess(wizardProcess.get(), 1);
        result = 1;
    }
    return result;
}
