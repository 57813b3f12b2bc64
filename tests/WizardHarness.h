#pragma once
// Drives the real wizard window in the test process: pumps its messages,
// presses its buttons with real input and reads what the user sees.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/frmMain.h"

namespace harness {

// The test profile this process runs in ("en", "de", "xp", "dpi120", "fr"), or "".
std::string Profile();
bool GermanInterface();
// The English or the German text, by the user interface language.
std::wstring Localized(const std::wstring& english, const std::wstring& german);

std::wstring WindowText(HWND window);
// Lets the window's messages through for the given time.
void Pump(frmMain& form, DWORD milliseconds);
// Pumps until the condition holds or the time is up; returns the condition.
bool PumpUntil(frmMain& form, const std::function<bool()>& condition, DWORD timeoutMilliseconds = 3000);

// The page panel in front of the other four, or 0 when it is not the only
// visible one: a covered page that stays visible is read by screen readers.
ControlId FrontPage(const frmMain& form);
// A control's rectangle in the client coordinates of its parent.
RECT RectInParent(HWND control);

// Real input, through the system's input queue.
// Presses and releases the left button where the pointer is.
void ClickLeftButton();
void ClickWithMouse(HWND control);
// Moves the pointer to a point in a window's client area, as a mouse would.
void MoveMouseTo(HWND window, int x, int y);
void MoveMouseOver(HWND control);
// Holds a key down for a moment, then lets it go.
void HoldKey(frmMain& form, WORD virtualKey, DWORD milliseconds);
void PressKey(WORD virtualKey);
void PressKeyWithAlt(WORD virtualKey);
void PressKeyWithShift(WORD virtualKey);

// The addresses the shell handed to the browser stand-in of the test prefix.
void ClearOpenedUrls();
std::vector<std::string> OpenedUrls();

// Answers every message box of this thread with OK, counts them and keeps the
// first one's text and caption, so that a modal box inside a handler does not
// block the test.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    bool Seen() const;
    int Count() const;
    std::wstring Text() const;
    std::wstring Caption() const;
    bool HadInformationIcon() const;

private:
    UINT_PTR timer_;
};

}  // namespace harness
