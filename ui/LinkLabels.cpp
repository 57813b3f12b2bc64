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
    }
    return ::DefSubclassProc(label, message, wParam, lParam);
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
    if (IsUnderlined(link)) return;  // an underlined link is always the hovered one
    if (hovered_ != nullptr) SetUnderline(hovered_, false);
    hovered_ = link;
    SetUnderline(link, true);
}

void LinkLabels::HoverOff() {
    if (hovered_ == nullptr) return;
    SetUnderline(hovered_, false);
    hovered_ = nullptr;
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
