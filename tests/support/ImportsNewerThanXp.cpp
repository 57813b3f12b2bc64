// Imports a user32 function that Windows XP lacks, for the import check to
// refuse: never run.

#include <windows.h>

extern "C" __declspec(dllimport) UINT WINAPI GetDpiForWindow(HWND window);

int main() {
    return static_cast<int>(GetDpiForWindow(nullptr));
}
