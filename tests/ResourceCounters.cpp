#include "tests/ResourceCounters.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/FixtureFiles.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"

namespace counters {

namespace {

template <typename Function>
Function Export(const char* module, const char* name) {
    const HMODULE loaded = ::GetModuleHandleA(module);
    const FARPROC address = loaded != nullptr ? ::GetProcAddress(loaded, name) : nullptr;
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(address), "function pointers of one size");
    std::memcpy(&function, &address, sizeof(function));
    return function;
}

// ---- kernel handles ------------------------------------------------------------------------

std::optional<size_t> SystemHandleListCount() {
    using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = Export<QuerySystem>("ntdll.dll", "NtQuerySystemInformation");
    if (query == nullptr) return std::nullopt;
    struct Entry {
        PVOID object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT typeIndex;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
    };
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004u);
    std::vector<std::uint64_t> buffer(1 << 17);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const auto bytes = static_cast<ULONG>(buffer.size() * sizeof(buffer[0]));
        ULONG needed = 0;
        const LONG status = query(kExtendedHandleInformation, buffer.data(), bytes, &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return std::nullopt;
        const auto* table = reinterpret_cast<const Table*>(buffer.data());
        const auto* entries = reinterpret_cast<const Entry*>(table + 1);
        const ULONG_PTR self = ::GetCurrentProcessId();
        size_t own = 0;
        for (ULONG_PTR i = 0; i < table->count; ++i) own += entries[i].processId == self ? 1 : 0;
        return own;
    }
    return std::nullopt;
}

// ---- GDI objects ---------------------------------------------------------------------------

// One entry of the GDI handle table the process environment block points to.
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;  // 0: a free entry
    std::uint8_t flags;
    std::uint64_t user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "the table's entry layout");
constexpr size_t kGdiHandleEntries = 0x10000;
#if defined(_WIN64)
constexpr size_t kGdiTableInPeb = 0xF8;
#else
constexpr size_t kGdiTableInPeb = 0x94;
#endif

const BYTE* ProcessEnvironmentBlock() {
    using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = Export<QueryProcess>("ntdll.dll", "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr || query(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return nullptr;
    return reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
}

std::optional<size_t> GdiTableCount() {
    const BYTE* peb = ProcessEnvironmentBlock();
    if (peb == nullptr) return std::nullopt;
    UINT_PTR address = 0;
    std::memcpy(&address, peb + kGdiTableInPeb, sizeof(address));
    if (address == 0) return std::nullopt;
    const auto* table = reinterpret_cast<const GdiHandleEntry*>(address);
    size_t used = 0;
    for (size_t i = 0; i < kGdiHandleEntries; ++i) used += table[i].type != 0 ? 1 : 0;
    return used;
}

// The table counts this process's objects when a pen made and deleted moves
// the count by one and back.
bool GdiTableWorks() {
    const std::optional<size_t> before = GdiTableCount();
    if (!before) return false;
    std::optional<size_t> during;
    {
        const UniquePen pen(::CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
        if (!pen) return false;
        during = GdiTableCount();
    }
    const std::optional<size_t> after = GdiTableCount();
    return during && after && *during == *before + 1 && *after == *before;
}

// ---- USER objects --------------------------------------------------------------------------

// USER handles are even numbers from 0x20 on; with a zero upper word the
// platform accepts them whatever their generation. New objects take freed
// values or the next above the highest in use, so the probe stops after a
// long run of free values.
constexpr UINT_PTR kFirstUserHandle = 0x20;
constexpr UINT_PTR kLastUserHandle = 0xFFEE;
constexpr UINT_PTR kFreeRunToStop = 8192;

using IconSizeQuery = BOOL(WINAPI*)(HICON, UINT, LONG*, LONG*);

std::optional<size_t> UserHandleProbe() {
    const auto iconSize = Export<IconSizeQuery>("win32u.dll", "NtUserGetIconSize");
    const DWORD self = ::GetCurrentProcessId();
    size_t found = 0;
    UINT_PTR lastUsed = kFirstUserHandle;
    for (UINT_PTR value = kFirstUserHandle; value <= kLastUserHandle && value - lastUsed <= kFreeRunToStop;
         value += 2) {
        const auto window = reinterpret_cast<HWND>(value);
        LONG width = 0, height = 0;
        if (::IsWindow(window)) {
            lastUsed = value;  // any process's window
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            found += owner == self ? 1 : 0;
        } else if (::IsMenu(reinterpret_cast<HMENU>(value)) ||
                   (iconSize != nullptr && iconSize(reinterpret_cast<HICON>(value), 0, &width, &height))) {
            lastUsed = value;
            ++found;
        }
    }
    return found;
}

struct MenuTraits {
    using Handle = HMENU;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};

// The probe counts this process's objects when a window, a menu and an icon
// made and destroyed move the count up by three or more (the platform may
// add windows of its own to a new window) and back.
bool UserProbeWorks() {
    const std::optional<size_t> before = UserHandleProbe();
    if (!before) return false;
    std::optional<size_t> during;
    {
        const BYTE andMask[32 * 4] = {};
        const BYTE xorMask[32 * 4] = {};
        const UniqueIcon icon(::CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask));
        const UniqueHandle<MenuTraits> menu(::CreateMenu());
        const UniqueWindow window(
            ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
        if (!icon || !menu || !window) return false;
        during = UserHandleProbe();
    }
    const std::optional<size_t> after = UserHandleProbe();
    return during && after && *during >= *before + 3 && *after == *before;
}

}  // namespace

Count KernelHandles() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0) return {count, "GetProcessHandleCount"};
    const std::optional<size_t> listed = SystemHandleListCount();
    if (listed) return {listed, "the system handle list"};
    return {std::nullopt, "neither GetProcessHandleCount nor the system handle list answers"};
}

Count GdiObjects() {
    const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported > 0) return {reported, "GetGuiResources"};
    static const bool tableWorks = GdiTableWorks();
    if (tableWorks) return {GdiTableCount(), "the GDI handle table (GetGuiResources answers 0)"};
    return {std::nullopt, "GetGuiResources answers 0 and the GDI handle table does not count"};
}

Count UserObjects() {
    const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    if (reported > 0) return {reported, "GetGuiResources"};
    static const bool probeWorks = UserProbeWorks();
    if (probeWorks) return {UserHandleProbe(), "a probe of every USER handle (GetGuiResources answers 0)"};
    return {std::nullopt, "GetGuiResources answers 0 and probing USER handles does not count"};
}

// ---- loaded modules --------------------------------------------------------------------------

namespace {
struct SnapshotTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
}  // namespace

std::set<std::wstring> LoadedModules() {
    std::set<std::wstring> modules;
    const UniqueHandle<SnapshotTraits> snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0));
    if (!snapshot) return modules;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more; more = ::Module32NextW(snapshot.get(), &entry)) {
        std::wstring path = fixtures::LongPath(entry.szExePath);
        ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
        modules.insert(path);
    }
    return modules;
}

std::string ModuleChanges(const std::set<std::wstring>& before, const std::set<std::wstring>& after) {
    std::string text;
    for (const std::wstring& module : after)
        if (before.count(module) == 0) text += " +" + ToAnsi(module);
    for (const std::wstring& module : before)
        if (after.count(module) == 0) text += " -" + ToAnsi(module);
    return text;
}

}  // namespace counters
