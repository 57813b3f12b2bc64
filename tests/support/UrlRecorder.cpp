// Stands in for the browser in test prefixes: appends the address it was
// asked to open to C:\opened-urls.txt, one line per call. Win32 calls only:
// without the C++ streams the program is a few kilobytes and starts at once,
// also under the emulated 32-bit Wine.

#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    const HANDLE log = ::CreateFileA("C:\\opened-urls.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    bool written = true;
    for (int i = 1; i < argc; ++i) {
        DWORD count = 0;
        written = ::WriteFile(log, argv[i], static_cast<DWORD>(std::strlen(argv[i])), &count, nullptr) &&
                  ::WriteFile(log, "\n", 1, &count, nullptr) && written;
    }
    ::CloseHandle(log);
    return written ? 0 : 1;
}
