#include "winsupport/Clipboard.h"

#include <cstring>

#include "winsupport/Handles.h"

namespace {

class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) noexcept : open_(::OpenClipboard(owner) != FALSE) {}
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (open_) ::CloseClipboard();
    }
    explicit operator bool() const noexcept { return open_; }

private:
    bool open_;
};

}  // namespace

bool PutTextOnClipboard(HWND owner, const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    void* locked = ::GlobalLock(memory.get());
    if (locked == nullptr) return false;
    std::memcpy(locked, text.c_str(), bytes);
    ::GlobalUnlock(memory.get());
    // Another program may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 10; ++attempt) {
        OpenedClipboard clipboard(owner);
        if (!clipboard) {
            ::Sleep(20);
            continue;
        }
        if (!::EmptyClipboard()) return false;
        if (::SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
        memory.release();  // the clipboard owns it now
        return true;
    }
    return false;
}
