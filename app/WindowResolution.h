#pragma once
// The window on monitors of different resolutions: its size at one, the
// resolution of the monitor it is on. Windows 10's functions for them are
// looked up at run time.

#include <windows.h>

// The frame of a window of the style whose client area is the given size in
// twips, at the resolution; Windows 10 knows the frame's own size at each.
RECT WindowFrameFor(int dpi, DWORD style, int clientWidthTwips, int clientHeightTwips);

// The resolution of the monitor the window is on; 0 before Windows 10.
int WindowResolution(HWND window);
