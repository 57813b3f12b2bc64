#pragma once
// What a screen reader learns of the controls that have no text of their own
// to tell it, and of the links: a name in the user's language, a role, a
// progress bar's value, a list's rows with their state in words, and a link's
// default action. Each control answers WM_GETOBJECT with the system's
// standard object, whose answers these replace.

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "winsupport/modAPI.h"

enum class AccessibleKind {
    Graphic,     // an icon that says something: its name says it
    Decoration,  // a picture that says nothing: no name
    Progress,    // value in per cent
    List,        // a row's name is its cells and the words for its icon
    Link,        // opens on its default action as on a click
};

struct AccessibleFacts {
    AccessibleKind kind = AccessibleKind::Graphic;
    std::wstring name;                   // empty for a decoration, or for the control's own text
    std::wstring action;                 // a link's default action
    std::vector<std::wstring> rowWords;  // a list's words per row icon
};

class AccessibleControls {
public:
    AccessibleControls() = default;
    ~AccessibleControls();
    AccessibleControls(const AccessibleControls&) = delete;
    AccessibleControls& operator=(const AccessibleControls&) = delete;

    // Runs before the first answer: an answer crosses to another process
    // through COM, which the window starts only when first needed.
    void SetBeforeAnswer(std::function<void()> prepare) { prepare_ = std::move(prepare); }
    // Sets or replaces what a control tells; watched until it is destroyed.
    void Describe(HWND control, const AccessibleFacts& facts);
    const AccessibleFacts* FactsOf(HWND control) const;

private:
    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR owner);

    std::map<HWND, AccessibleFacts> facts_;
    std::function<void()> prepare_;
};

// A status line a screen reader reads out when it changes, wherever the user
// is: a polite live region on Windows 8 and later, a changed name before.
// Needs COM on the thread; a system without either changes nothing.
void MakeLiveRegion(HWND control);
// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers for older targets lack.
constexpr DWORD kEventLiveRegionChanged = 0x8019;
void AnnounceChange(HWND control, bool liveRegions);
// Live regions came with Windows 8 (6.2).
bool LiveRegionsAvailable(const WindowsRelease& windows);

// Tells a screen reader of a progress bar's new value where the bar does not
// tell it itself (Wine's says nothing; Windows' does): while it lives, the
// bar's own value changes are counted, and after the first step it raises
// the event only when there were none. One at a time.
class ProgressAnnouncer {
public:
    explicit ProgressAnnouncer(HWND bar);
    ~ProgressAnnouncer();
    ProgressAnnouncer(const ProgressAnnouncer&) = delete;
    ProgressAnnouncer& operator=(const ProgressAnnouncer&) = delete;
    // After the bar's position was set.
    void Moved();

private:
    HWINEVENTHOOK hook_ = nullptr;
    HWND bar_;
    int steps_ = 0;
    int raised_ = 0;
};

// The words a list row's cells give, in column order.
std::wstring ListRowText(HWND list, int row, const std::vector<std::wstring>& rowWords);
// A progress bar's position in per cent of its range, as "42%".
std::wstring ProgressText(HWND bar);
