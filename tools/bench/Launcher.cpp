// Measures a program from outside for the benchmark, printing "name=value"
// lines (times in milliseconds, sizes in bytes):
//   launcher startup EXE      start-up until the window is shown and idle,
//                             and the peak working set; then closes it
//   launcher walk EXE         the same for the wizard, then clicks through it:
//                             Next to the version page, Next to the repair
//                             page, the repair button until Next is enabled
//                             again, and the peak working set after the run
//   launcher register DLL...  the time a process of its own takes to start,
//                             load, call DllRegisterServer and free the given
//                             files, and end: the wizard registers in a
//                             worker process too
//   launcher click EXE FILE...  the yardstick of a page change: starts the
//                             empty window with the files, clicks into it and
//                             times until it has read their versions
// Clicks are real mouse input through the system's input queue.

#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/ControlLayout.h"
#include "winsupport/Handles.h"

namespace {

class Clock {
public:
    Clock() noexcept {
        ::QueryPerformanceFrequency(&frequency_);
        ::QueryPerformanceCounter(&start_);
    }
    double Milliseconds() const noexcept {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_{};
    LARGE_INTEGER start_{};
};

// A search for a child window by its control id.
struct Search {
    DWORD key;
    HWND found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (static_cast<DWORD>(::GetDlgCtrlID(child)) == search->key) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

// The measured programs' window classes. A lookup by class is one request to
// the window server; walking every window for its process would be one per
// window, and at one walk a millisecond that load slows the program measured,
// the more the more windows it makes.
constexpr const char* kMeasuredClasses[] = {"MdacRepairWizard", "EmptyWindow"};

HWND VisibleWindowOf(DWORD processId) {
    for (const char* className : kMeasuredClasses) {
        for (HWND window = ::FindWindowExA(nullptr, nullptr, className, nullptr); window != nullptr;
             window = ::FindWindowExA(nullptr, window, className, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == processId && ::IsWindowVisible(window)) return window;
        }
    }
    return nullptr;
}

HWND ChildById(HWND parent, int id) {
    Search search{static_cast<DWORD>(id), nullptr};
    ::EnumChildWindows(parent, &FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int FrontPage(HWND wizard) {
    for (HWND child = ::GetWindow(wizard, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        if (id >= pic1 && id <= pic5) return id;
    }
    return 0;
}

void Click(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    const int x = (rect.left + rect.right) / 2;
    const int y = (rect.top + rect.bottom) / 2;
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = ::MulDiv(x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = ::MulDiv(y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(3, inputs, sizeof(INPUT));
}

// Polls every millisecond until the condition holds; the elapsed time, or -1.
template <typename Condition>
double WaitFor(const Clock& clock, Condition condition, double timeoutMilliseconds) {
    while (!condition()) {
        if (clock.Milliseconds() > timeoutMilliseconds) return -1;
        ::Sleep(1);
    }
    return clock.Milliseconds();
}

SIZE_T PeakWorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    return ::GetProcessMemoryInfo(process, &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}

enum class Mode { StartUp, Walk, ClickToRead };

int Run(const char* exe, Mode mode, int count = 0, char** files = nullptr) {
    std::string commandLine = std::string("\"") + exe + "\"";
    for (int index = 0; index < count; ++index) commandLine += std::string(" \"") + files[index] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    Clock clock;
    if (!::CreateProcessA(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &created)) {
        std::printf("error=cannot start %s\n", exe);
        return 1;
    }
    UniqueKernelHandle process(created.hProcess);
    UniqueKernelHandle thread(created.hThread);
    ::WaitForInputIdle(process.get(), 30000);
    HWND window = nullptr;
    const double shown = WaitFor(
        clock, [&] { return (window = VisibleWindowOf(created.dwProcessId)) != nullptr; }, 30000);
    // Idle again once the shown window has been painted.
    ::WaitForInputIdle(process.get(), 30000);
    const double idle = clock.Milliseconds();
    if (shown < 0) {
        std::printf("error=no window\n");
        ::TerminateProcess(process.get(), 1);
        return 1;
    }
    std::printf("shown_ms=%.1f\nstartup_ms=%.1f\npeak_working_set_startup=%zu\n", shown, idle,
                static_cast<size_t>(PeakWorkingSet(process.get())));
    int result = 0;
    if (mode == Mode::ClickToRead) {
        ::Sleep(::GetDoubleClickTime() + 100);
        const Clock click;
        Click(window);
        const double elapsed = WaitFor(
            click,
            [&] {
                char title[16] = {};
                ::GetWindowTextA(window, title, static_cast<int>(sizeof(title)));
                return std::strcmp(title, "done") == 0;
            },
            10000);
        std::printf("click_ms=%.1f\n", elapsed);
        if (elapsed < 0) result = 1;
    }
    if (mode == Mode::Walk) {
        HWND next = ChildById(window, cmdWeiter);
        const struct {
            const char* name;
            HWND button;
            int page;
        } steps[] = {{"check_versions_ms", next, pic2}, {"fill_file_version_list_ms", next, pic3}};
        for (const auto& step : steps) {
            // Clicks too soon after the last one would make a double click.
            ::Sleep(::GetDoubleClickTime() + 100);
            const Clock transition;
            Click(step.button);
            const double elapsed = WaitFor(
                transition, [&] { return FrontPage(window) == step.page; }, 10000);
            std::printf("%s=%.1f\n", step.name, elapsed);
            if (elapsed < 0) result = 1;
        }
        // A page's controls are made when the page is first needed.
        HWND repair = ChildById(window, cmdRepairMDAC);
        ::Sleep(::GetDoubleClickTime() + 100);
        const Clock run;
        Click(repair);
        WaitFor(
            run, [&] { return !::IsWindowEnabled(next); }, 5000);
        const double repaired = WaitFor(
            run, [&] { return ::IsWindowEnabled(next) != FALSE; }, 60000);
        std::printf("repair_run_ms=%.1f\npeak_working_set_after_run=%zu\n", repaired,
                    static_cast<size_t>(PeakWorkingSet(process.get())));
        if (repaired < 0) result = 1;
        // After the run the close box leads to the final page; a close from outside ends.
        ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitFor(
            run, [&] { return FrontPage(window) == pic5; }, run.Milliseconds() + 5000);
    }
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) {
        std::printf("error=did not end\n");
        ::TerminateProcess(process.get(), 1);
        result = 1;
    }
    return result;
}

// In the child that "register" starts.
int RegisterHere(int count, char** files) {
    using EntryPoint = HRESULT(WINAPI*)();
    // Self-registration expects OLE on the calling thread.
    const bool ole = SUCCEEDED(::OleInitialize(nullptr));
    int registered = 0;
    for (int index = 0; index < count; ++index) {
        UniqueModule module(::LoadLibraryA(files[index]));
        if (!module) continue;
        FARPROC address = ::GetProcAddress(module.get(), "DllRegisterServer");
        if (address == nullptr) continue;
        EntryPoint entry = nullptr;
        std::memcpy(&entry, &address, sizeof(entry));
        entry();
        ++registered;
    }
    if (ole) ::OleUninitialize();
    return registered == count ? 0 : 1;
}

int Register(int count, char** files) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" register-here";
    for (int index = 0; index < count; ++index) commandLine += std::string(" \"") + files[index] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    const Clock clock;
    if (!::CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &created)) {
        std::printf("error=cannot start the registering process\n");
        return 1;
    }
    UniqueKernelHandle process(created.hProcess);
    UniqueKernelHandle thread(created.hThread);
    ::WaitForSingleObject(process.get(), 60000);
    const double elapsed = clock.Milliseconds();
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.get(), &exitCode);
    if (exitCode != 0) {
        std::printf("error=not every file registered\n");
        return 1;
    }
    std::printf("registered=%d\nregister_ms=%.1f\n", count, elapsed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int result = 2;
    if (argc >= 3 && std::strcmp(argv[1], "startup") == 0) result = Run(argv[2], Mode::StartUp);
    if (argc >= 3 && std::strcmp(argv[1], "walk") == 0) result = Run(argv[2], Mode::Walk);
    if (argc >= 2 && std::strcmp(argv[1], "register") == 0) result = Register(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "register-here") == 0) result = RegisterHere(argc - 2, argv + 2);
    if (argc >= 3 && std::strcmp(argv[1], "click") == 0) result = Run(argv[2], Mode::ClickToRead, argc - 3, argv + 3);
    static_cast<void>(std::fflush(stdout));
    return result;
}
