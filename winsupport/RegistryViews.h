#pragma once
// The two halves of 64-bit Windows, as either program sees them: the 32-bit
// and the 64-bit registry views, and each view's folders, so that a file a
// registration names is found where a process of that view's bitness finds it.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "winsupport/Handles.h"

enum class RegistryView { Bits32, Bits64 };

// This process runs on 64-bit Windows (natively, or as a 32-bit process under
// WoW64).
bool IsWindows64();
// The view of this process's own bitness.
RegistryView OwnView();
// The views this Windows has: the 32-bit one only on 32-bit Windows.
std::vector<RegistryView> WindowsViews();
// "32" or "64".
const wchar_t* ViewBits(RegistryView view);

// One key opened in one view, read-only.
class ViewKey {
public:
    ViewKey() = default;
    ViewKey(HKEY root, const std::wstring& path, RegistryView view);
    ViewKey(const ViewKey& parent, const std::wstring& path);
    explicit operator bool() const noexcept { return static_cast<bool>(key_); }

    std::vector<std::wstring> SubkeyNames() const;
    // The subkeys that have a subkey `child`, in the order of SubkeyNames().
    // A class root holds thousands of keys and each is one more question to
    // the registry: several threads ask at once.
    std::vector<std::wstring> SubkeysHaving(const std::wstring& child) const;
    std::vector<std::wstring> ValueNames() const;
    // Each value's name with its text (empty when it is no text), read in
    // one pass: a list of data sources may hold hundreds.
    std::vector<std::pair<std::wstring, std::wstring>> TextValues() const;
    // A text value (REG_EXPAND_SZ unexpanded: its variables are the view's);
    // false when there is none. Empty name: the default value.
    bool Text(const std::wstring& name, std::wstring& text) const;
    RegistryView View() const noexcept { return view_; }

private:
    void Open(HKEY parent, const std::wstring& path);
    REGSAM Access() const;

    UniqueHkey key_;
    RegistryView view_ = RegistryView::Bits32;
};

// A file as a registration names it, resolved for the view: `shown` is the
// path a process of that bitness uses, `access` the one this process reads,
// with file-system redirection off for the read where needed.
struct ResolvedFile {
    std::wstring shown;
    std::wstring access;
    bool withoutRedirection = false;
};
ResolvedFile ResolveRegisteredFile(const std::wstring& registered, RegistryView view);
// The view's system folder as shown (SysWOW64 for the 32-bit view of 64-bit
// Windows).
std::wstring SystemFolderOf(RegistryView view);

bool FileExists(const ResolvedFile& file);

// File-system redirection off for one read by a 32-bit process on 64-bit
// Windows that has no Sysnative alias; never around a load.
class RedirectionOff {
public:
    explicit RedirectionOff(bool wanted);
    ~RedirectionOff();
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    void* previous_ = nullptr;
    bool off_ = false;
};
