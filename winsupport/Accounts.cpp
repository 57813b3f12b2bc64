#include "winsupport/Accounts.h"

#include <windows.h>
#include <sddl.h>

#include "winsupport/Handles.h"

namespace {

int systemForTests = -1;

using UniqueLocalText = UniqueHandle<NullHandleTraits<LPWSTR, &::LocalFree>>;
using UniqueSid = UniqueHandle<NullHandleTraits<PSID, &::LocalFree>>;

// The token's user; empty when it cannot be read.
std::vector<BYTE> TokenUserBlock() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueKernelHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), ::TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), ::TokenUser, buffer.data(), size, &size)) return {};
    return buffer;
}

PSID SidOf(std::vector<BYTE>& tokenUser) {
    return tokenUser.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

std::wstring SidText(PSID sid) {
    LPWSTR raw = nullptr;
    if (sid == nullptr || !::ConvertSidToStringSidW(sid, &raw)) return {};
    const UniqueLocalText text(raw);
    return text.get();
}

std::wstring NameOf(PSID sid) {
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    if (sid == nullptr || !::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return {};
    return domain[0] == L'\0' ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
}

bool StartsWith(const std::wstring& text, const wchar_t* start) {
    return text.compare(0, std::char_traits<wchar_t>::length(start), start) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsSystem(PSID sid) {
    if (systemForTests >= 0) return systemForTests == 1;
    return sid != nullptr && ::IsWellKnownSid(sid, WinLocalSystemSid);
}

}  // namespace

std::wstring CurrentAccountSid() {
    std::vector<BYTE> user = TokenUserBlock();
    return SidText(SidOf(user));
}

bool RunsAsSystem() {
    std::vector<BYTE> user = TokenUserBlock();
    return IsSystem(SidOf(user));
}

void SetRunsAsSystemForTests(int answer) {
    systemForTests = answer;
}

std::wstring CurrentAccountName() {
    std::vector<BYTE> user = TokenUserBlock();
    if (IsSystem(SidOf(user))) return L"SYSTEM";
    const std::wstring name = NameOf(SidOf(user));
    return name.empty() ? SidText(SidOf(user)) : name;
}

std::wstring AccountNameOfSid(const std::wstring& sid) {
    PSID raw = nullptr;
    if (!::ConvertStringSidToSidW(sid.c_str(), &raw)) return sid;
    const UniqueSid owned(raw);
    const std::wstring name = NameOf(owned.get());
    return name.empty() ? sid : name;
}

std::vector<std::wstring> LoadedUserHives() {
    std::vector<std::wstring> hives;
    const std::wstring own = CurrentAccountSid();
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD size = 256;
        const LONG result = ::RegEnumKeyExW(HKEY_USERS, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        const std::wstring sid(name, size);
        // Local, network and system service accounts (S-1-5-18 to -20) are no people.
        const bool person = StartsWith(sid, L"S-1-5-21-") || StartsWith(sid, L"S-1-12-1-");
        if (person && !EndsWith(sid, L"_Classes") && sid != own) hives.push_back(sid);
    }
    return hives;
}
