#pragma once
// Text for other programs to paste.

#include <windows.h>

#include <string>

// Replaces what the clipboard holds with the text; false when the clipboard
// could not be opened (another program holds it) or the text not stored.
bool PutTextOnClipboard(HWND owner, const std::wstring& text);
