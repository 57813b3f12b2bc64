#pragma once
// Labels that work as links: a hand cursor over them and an underline while
// the mouse is on them. Only one link is underlined at a time; a mouse move
// over one of the other watched labels takes the underline away. A link is a
// tab stop too: focused, it shows the focus rectangle and the underline, and
// Enter or Space click it.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "winsupport/Handles.h"

// Sends the label's parent what a click on the label sends.
void ClickLabel(HWND label);

class LinkLabels {
public:
    // hovered: where the underlined link is kept, null when there is none.
    LinkLabels(HWND& hovered, int cursorResource) noexcept : hovered_(hovered), cursorResource_(cursorResource) {}
    ~LinkLabels();
    LinkLabels(const LinkLabels&) = delete;
    LinkLabels& operator=(const LinkLabels&) = delete;

    // Watches a label's mouse moves: a link's to underline it, another's to
    // take the underline away.
    void Watch(HWND label, bool link);
    bool IsLink(HWND control) const;
    void HoverOn(HWND link);
    void HoverOff();
    // After a click the underline goes, unless the keyboard is on the link.
    void Clicked(HWND link);
    void SetUnderline(HWND label, bool underline);
    // The labels' fonts are about to be replaced: the underlined twins of
    // the old ones go (with no link hovered, none shows them).
    void ForgetUnderlines();
    // Sets the hand cursor when the mouse is over a link.
    bool SetCursorOver(HWND under) const;
    // The text a label shows.
    static std::wstring Caption(HWND label);

private:
    static LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR owner);
    bool IsUnderlined(HWND label) const;
    bool HandleLinkKeyboard(HWND link, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    static void DrawFocus(HWND link);

    HWND& hovered_;
    int cursorResource_;
    UniqueCursor cursor_;
    std::vector<HWND> watched_;
    std::vector<HWND> links_;
    // A link's own font and its underlined twin, made on first hover.
    std::vector<std::pair<HFONT, UniqueFont>> underlined_;
};
