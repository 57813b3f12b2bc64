#include "ui/LinkLabels.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "winsupport/TextCodec.h"

namespace {
constexpr UINT_PTR kSubclassId = 1;

bool Contains(const std::vector<HWND>& windows, HWND window) {
    return window != nullptr && std::find(windows.begin(), windows.end(), window) != windows.end();
}
}  // namespace

void ClickLabel(HWND label) {
    ::SendMessageW(::GetParent(label), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(::GetDlgCtrlID(label)), STN_CLICKED),
                   reinterpret_cast<LPARAM>(label));
}

LinkLabels::~LinkLabels() {
    for (HWND label : watched_) {
        if (::IsWindow(label)) ::RemoveWindowSubclass(label, &LinkLabels::LabelProc, kSubclassId);
    }
}

void LinkLabels::Watch(HWND label, bool link) {
    if (label == nullptr || Contains(watched_, label)) return;
    if (link && !cursor_) {
        cursor_.reset(static_cast<HCURSOR>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(cursorResource_), IMAGE_CURSOR, 32, 32, 0)));
    }
    if (!::SetWindowSubclass(label, &LinkLabels::LabelProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return;
    watched_.push_back(label);
    if (link) links_.push_back(label);
}

bool LinkLabels::IsLink(HWND control) const {
    return Contains(links_, control);
}

LRESULT CALLBACK LinkLabels::LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR owner) {
    auto* self = reinterpret_cast<LinkLabels*>(owner);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(label, &LinkLabels::LabelProc, kSubclassId);
        if (self != nullptr) {
            if (self->hovered_ == label) self->hovered_ = nullptr;
            self->watched_.erase(std::remove(self->watched_.begin(), self->watched_.end(), label),
                                 self->watched_.end());
            self->links_.erase(std::remove(self->links_.begin(), self->links_.end(), label), self->links_.end());
        }
    } else if (message == WM_MOUSEMOVE && self != nullptr) {
        if (self->IsLink(label)) {
            self->HoverOn(label);
        } else {
            self->HoverOff();
        }
    } else if (self != nullptr && self->IsLink(label)) {
        LRESULT result = 0;
        if (self->HandleLinkKeyboard(label, message, wParam, lParam, result)) return result;
    }
    return ::DefSubclassProc(label, message, wParam, lParam);
}

bool LinkLabels::HandleLinkKeyboard(HWND link, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_GETDLGCODE: {
            // Enter on a focused link is the link's, not the default button's;
            // Space is no mnemonic to look for.
            result = ::DefSubclassProc(link, message, wParam, lParam) | DLGC_WANTCHARS;
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (key != nullptr && (key->message == WM_KEYDOWN || key->message == WM_CHAR) && key->wParam == VK_RETURN)
                result |= DLGC_WANTMESSAGE;
            return true;
        }
        case WM_KEYDOWN:
            if (wParam != VK_RETURN && wParam != VK_SPACE) return false;
            // A key held down opens the page once.
            if ((lParam & (1L << 30)) == 0) ClickLabel(link);
            result = 0;
            return true;
        case WM_CHAR:
            if (wParam != L'\r' && wParam != L' ') return false;
            result = 0;
            return true;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            result = ::DefSubclassProc(link, message, wParam, lParam);
            SetUnderline(link, message == WM_SETFOCUS || hovered_ == link);
            ::InvalidateRect(link, nullptr, TRUE);
            return true;
        case WM_UPDATEUISTATE:
            result = ::DefSubclassProc(link, message, wParam, lParam);
            ::InvalidateRect(link, nullptr, TRUE);
            return true;
        case WM_PAINT:
            result = ::DefSubclassProc(link, message, wParam, lParam);
            if (::GetFocus() == link) DrawFocus(link);
            return true;
        default:
            return false;
    }
}

void LinkLabels::DrawFocus(HWND link) {
    // Shown once the keyboard has been used, as the system does for buttons.
    if ((::SendMessageW(link, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0) return;
    const WindowDC dc(link);
    if (!dc) return;
    RECT client{};
    ::GetClientRect(link, &client);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0));
    RECT text = client;
    {
        const SelectedObject selected(dc.get(), font);
        const std::wstring caption = Caption(link);
        ::DrawTextW(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &text,
                    DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT frame{client.left, client.top, std::min(client.right, text.right + 2),
               std::min(client.bottom, text.bottom + 1)};
    ::DrawFocusRect(dc.get(), &frame);
}

bool LinkLabels::IsUnderlined(HWND label) const {
    const auto font = reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0));
    return std::any_of(underlined_.begin(), underlined_.end(),
                       [font](const auto& pair) { return pair.second.get() == font; });
}

void LinkLabels::SetUnderline(HWND label, bool underline) {
    if (!IsLink(label) || IsUnderlined(label) == underline) return;
    const auto font = reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0));
    HFONT next = nullptr;
    for (const auto& [plain, twin] : underlined_) {
        if (underline && plain == font) next = twin.get();
        if (!underline && twin.get() == font) next = plain;
    }
    if (next == nullptr && underline) {
        LOGFONTA design{};
        if (font == nullptr || ::GetObjectA(font, sizeof(design), &design) == 0) return;
        design.lfUnderline = TRUE;
        UniqueFont twin(::CreateFontIndirectA(&design));
        if (!twin) return;
        next = twin.get();
        underlined_.emplace_back(font, std::move(twin));
    }
    if (next != nullptr) ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(next), TRUE);
}

void LinkLabels::ForgetUnderlines() {
    HoverOff();
    underlined_.clear();
}

void LinkLabels::HoverOn(HWND link) {
    // An underlined link is the hovered one, or the focused one.
    if (IsUnderlined(link) && (hovered_ == link || ::GetFocus() != link)) return;
    if (hovered_ != nullptr && hovered_ != link) SetUnderline(hovered_, ::GetFocus() == hovered_);
    hovered_ = link;
    SetUnderline(link, true);
}

void LinkLabels::HoverOff() {
    if (hovered_ == nullptr) return;
    // The focused link keeps its underline with its focus rectangle.
    SetUnderline(hovered_, ::GetFocus() == hovered_);
    hovered_ = nullptr;
}

void LinkLabels::Clicked(HWND link) {
    SetUnderline(link, ::GetFocus() == link);
}

bool LinkLabels::SetCursorOver(HWND under) const {
    if (!IsLink(under) || !cursor_) return false;
    ::SetCursor(cursor_.get());
    return true;
}

std::wstring LinkLabels::Caption(HWND label) {
    const int length = ::GetWindowTextLengthA(label);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(label, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return FromAnsi(text);
}
