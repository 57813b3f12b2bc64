// The yardstick for the wizard's start-up: a program that only shows an empty
// window with the wizard's frame style and client size (488 x 324 at 96 dpi),
// centred, and ends when it is closed.
// Given files on its command line, it is also the yardstick for a page change:
// a click into the window reads their version resources, as the wizard's
// pages do, and then sets the title to "done".
// Built with WITH_WIZARD_LIBRARIES it also starts what every wizard start
// needs before its first control: the same imported system DLLs and version 6
// of the common controls (through the wizard's own manifest). The difference
// to the plain build is the price of those; the rest of the wizard's start-up
// is its own work. OLE and the shell the wizard loads when first used, after
// its start-up.

#include <windows.h>
#ifdef WITH_WIZARD_LIBRARIES
#include <commctrl.h>
#endif

namespace {
// The files on the command line, after the program's own name; the launcher
// puts each in double quotes. No C++ library: the yardstick stays as small as
// an empty window can be.
constexpr int kMaxFiles = 64;

int FilesToRead(char* commandLine, char** files) {
    int count = 0;
    char* text = commandLine;
    for (int index = 0; *text != '\0' && count < kMaxFiles; ++index) {
        while (*text == ' ') ++text;
        if (*text == '\0') break;
        const char end = *text == '"' ? '"' : ' ';
        if (end == '"') ++text;
        char* start = text;
        while (*text != '\0' && *text != end) ++text;
        if (*text != '\0') *text++ = '\0';
        if (index > 0) files[count++] = start;
    }
    return count;
}

// Loaded at first use by its system path, as the wizard loads it.
void ReadVersions(char** files, int count) {
    using SizeFunction = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    char path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH - 16);
    if (length == 0 || length >= MAX_PATH - 16) return;
    ::lstrcpyA(path + length, "\\version.dll");
    HMODULE version = ::LoadLibraryA(path);
    if (version == nullptr) return;
    const auto size =
        reinterpret_cast<SizeFunction>(reinterpret_cast<void*>(::GetProcAddress(version, "GetFileVersionInfoSizeA")));
    const auto info =
        reinterpret_cast<InfoFunction>(reinterpret_cast<void*>(::GetProcAddress(version, "GetFileVersionInfoA")));
    const auto query =
        reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(::GetProcAddress(version, "VerQueryValueA")));
    for (int index = 0; size != nullptr && info != nullptr && query != nullptr && index < count; ++index) {
        DWORD ignored = 0;
        const DWORD bytes = size(files[index], &ignored);
        if (bytes == 0) continue;
        HGLOBAL data = ::GlobalAlloc(GMEM_FIXED, bytes);
        if (data == nullptr) continue;
        void* fixed = nullptr;
        UINT fixedLength = 0;
        if (info(files[index], 0, bytes, data)) query(data, "\\", &fixed, &fixedLength);
        ::GlobalFree(data);
    }
    ::FreeLibrary(version);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) {
        char commandLine[8192];
        char* files[kMaxFiles];
        ::lstrcpynA(commandLine, ::GetCommandLineA(), static_cast<int>(sizeof(commandLine)));
        const int count = FilesToRead(commandLine, files);
        if (count == 0) return 0;
        ReadVersions(files, count);
        ::SetWindowTextA(window, "done");
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

#ifdef WITH_WIZARD_LIBRARIES
// Never true: the calls only make the program import what the wizard imports.
bool ImportsOnly() {
    return ::GetTickCount() == 0 && ::GetCurrentProcessId() == 0;
}

void UseWizardLibraries() {
    ::InitCommonControls();
    if (ImportsOnly()) {
        ::RegCloseKey(HKEY_CURRENT_USER);
    }
}
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef WITH_WIZARD_LIBRARIES
    UseWizardLibraries();
#endif
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "EmptyWindow";
    if (::RegisterClassExA(&windowClass) == 0) return 1;
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    int dpi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
        ::ReleaseDC(nullptr, screen);
    }
    RECT frame{0, 0, ::MulDiv(7320, dpi, 1440), ::MulDiv(4860, dpi, 1440)};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HWND window = ::CreateWindowExA(0, "EmptyWindow", "Empty", style, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                    (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                    instance, nullptr);
    if (window == nullptr) return 1;
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
