#pragma once
// Free functions shared by the wizard: placeholder formatting, special folders
// and the Windows version code.

#include <windows.h>

#include <cstdint>
#include <string>

#include "winsupport/TaggedValue.h"

// ---- Placeholder formatter ----------------------------------------------------

// Fills "[*]", "[n:*]", "[pattern]", "[]", "[(]" and "[\]" placeholders after
// turning the backslash escapes of the format into their characters. Raises
// RaisedError 0x80040001..0x80040003 for malformed formats.
std::wstring FormatPlaceholders(std::wstring format, const TaggedValueList& values);

// The value as text, the way OLE Automation converts a variant to a string.
std::wstring ValueToText(const TaggedValue& value);

// The value formatted by an OLE Automation format pattern (VarFormat, Sunday
// first day of week, week of 1 January first week of year).
std::wstring FormatValueWithPattern(const TaggedValue& value, const std::wstring& pattern);

// ---- File version reader ----------------------------------------------------

// The file's fixed version record; false (and info untouched) when the file is
// missing, has no version resource or cannot be read.
bool ReadFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO& info);

// "major.minor.build", or with buildOnly one number: the revision when it is
// not 0, else the build. The "not available" message when the version cannot
// be read.
std::wstring GetFileVersionText(const std::wstring& path, bool buildOnly);

// ---- System information -------------------------------------------------------

// The shell folder's path without trailing separator, or empty on failure.
std::wstring GetSpecialFolderPath(int csidl);

enum WindowsVersionCode : std::int32_t {
    WindowsUnknown = 0,
    Windows95 = 1,
    Windows98 = 2,
    WindowsNT4 = 3,
    Windows2000 = 4,
    WindowsMe = 5,
    WindowsXP = 6,
    WindowsServer2003 = 7,
    WindowsVistaOrLater6x = 8,
};

std::int32_t ClassifyWindowsVersion(DWORD platformId, DWORD majorVersion, DWORD minorVersion);

// Remembers the first recognised version code; an unrecognised system is asked
// again on the next call.
class WindowsVersionCache {
public:
    using Query = BOOL(WINAPI*)(LPOSVERSIONINFOA);
    explicit WindowsVersionCache(Query query) noexcept : query_(query) {}
    std::int32_t Get();

private:
    Query query_;
    std::int32_t cached_ = WindowsUnknown;
};

std::int32_t GetWindowsVersionKind();

// The running Windows' own major and minor version, as the kernel reports it
// to every program (GetVersionEx answers 6.2 on later systems to programs that
// do not declare them); 0.0 when it cannot be read.
struct WindowsRelease {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
};
WindowsRelease RunningWindowsRelease();

// The Windows system directory without a trailing separator; empty when the
// platform fails or the directory does not fit the 260-character buffer.
using SystemDirectoryQuery = UINT(WINAPI*)(LPSTR, UINT);
std::wstring GetSystemDirectoryText(SystemDirectoryQuery query = &::GetSystemDirectoryA);
