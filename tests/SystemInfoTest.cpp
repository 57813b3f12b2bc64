// Special folders and the Windows version code.

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "tests/WizardHarness.h"
#include "winsupport/modAPI.h"

namespace {

struct VersionCase {
    DWORD platform, major, minor;
    std::int32_t code;
};

TEST(WindowsVersionKind, ClassifiesEveryRowOfTheTable) {
    const VersionCase cases[] = {
        {VER_PLATFORM_WIN32_NT, 4, 0, 3},       {VER_PLATFORM_WIN32_NT, 4, 7, 3},
        {VER_PLATFORM_WIN32_NT, 5, 0, 4},       {VER_PLATFORM_WIN32_NT, 5, 1, 6},
        {VER_PLATFORM_WIN32_NT, 5, 2, 7},       {VER_PLATFORM_WIN32_NT, 5, 3, 0},
        {VER_PLATFORM_WIN32_NT, 6, 0, 8},       {VER_PLATFORM_WIN32_NT, 6, 1, 8},
        {VER_PLATFORM_WIN32_NT, 6, 3, 8},       {VER_PLATFORM_WIN32_NT, 10, 0, 0},
        {VER_PLATFORM_WIN32_NT, 3, 51, 0},      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2}, {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 5},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 3, 0},  {VER_PLATFORM_WIN32s, 3, 10, 2},
        {VER_PLATFORM_WIN32s, 9, 0, 1},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(ClassifyWindowsVersion(c.platform, c.major, c.minor), c.code)
            << "platform " << c.platform << ", version " << c.major << "." << c.minor;
    }
}

// A version query that counts its calls and reports a chosen system.
struct FakeSystem {
    static inline int calls = 0;
    static inline DWORD platform = VER_PLATFORM_WIN32_NT, major = 5, minor = 1;
    static BOOL WINAPI Query(LPOSVERSIONINFOA info) {
        ++calls;
        EXPECT_EQ(info->dwOSVersionInfoSize, 148u);
        info->dwPlatformId = platform;
        info->dwMajorVersion = major;
        info->dwMinorVersion = minor;
        return TRUE;
    }
};

TEST(WindowsVersionKind, RemembersARecognisedSystem) {
    FakeSystem::calls = 0;
    FakeSystem::major = 5;
    FakeSystem::minor = 1;
    WindowsVersionCache cache(&FakeSystem::Query);
    EXPECT_EQ(cache.Get(), 6);
    FakeSystem::minor = 2;  // the system is not asked again
    EXPECT_EQ(cache.Get(), 6);
    EXPECT_EQ(FakeSystem::calls, 1);
}

TEST(WindowsVersionKind, AsksAgainWhileTheSystemIsUnknown) {
    FakeSystem::calls = 0;
    FakeSystem::major = 10;
    FakeSystem::minor = 0;
    WindowsVersionCache cache(&FakeSystem::Query);
    EXPECT_EQ(cache.Get(), 0);
    EXPECT_EQ(cache.Get(), 0);
    EXPECT_EQ(FakeSystem::calls, 2);
    FakeSystem::major = 6;  // recognised from now on
    EXPECT_EQ(cache.Get(), 8);
    EXPECT_EQ(cache.Get(), 8);
    EXPECT_EQ(FakeSystem::calls, 3);
}

TEST(WindowsVersionKind, ReportsTheRunningSystem) {
    // The XP profile sets Wine's reported version to 5.1; the others keep Windows 7.
    EXPECT_EQ(GetWindowsVersionKind(), harness::Profile() == "xp" ? 6 : 8);
}

TEST(SpecialFolderPath, CommonProgramFilesWithoutTrailingCharacters) {
    const std::wstring path = GetSpecialFolderPath(CSIDL_PROGRAM_FILES_COMMON);
    EXPECT_EQ(path, L"C:\\Program Files\\Common Files");
    EXPECT_EQ(path.find(L'\0'), std::wstring::npos);
}

TEST(SpecialFolderPath, EmptyWhenThePlatformFails) {
    EXPECT_EQ(GetSpecialFolderPath(0x7FFF), L"");  // no such folder id
}

// System directory queries that answer the way a failing or odd platform would.
UINT WINAPI DirectoryTooLong(LPSTR buffer, UINT size) {
    std::memset(buffer, 'X', size);  // whatever the platform left behind
    return 300;
}
UINT WINAPI DirectoryFails(LPSTR, UINT) {
    return 0;
}
UINT WINAPI DirectoryFits(LPSTR buffer, UINT size) {
    EXPECT_EQ(size, 260u);
    const char directory[] = "C:\\WINNT\\system32";
    std::memcpy(buffer, directory, sizeof(directory));
    return 17;
}

TEST(SystemDirectory, TooSmallABufferMeansNoDirectory) {
    EXPECT_EQ(GetSystemDirectoryText(&DirectoryTooLong), L"");
    EXPECT_EQ(GetSystemDirectoryText(&DirectoryFails), L"");
    EXPECT_EQ(GetSystemDirectoryText(&DirectoryFits), L"C:\\WINNT\\system32");
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(GetSystemDirectoryText(), system);
}

TEST(TestBench, RunsInTheProfileItWasStartedFor) {
    const std::string profile = harness::Profile();
    if (profile.empty()) GTEST_SKIP() << "not started through a test profile";
    EXPECT_EQ(harness::GermanInterface(), profile == "de");
    WindowDC screen(nullptr);
    EXPECT_EQ(::GetDeviceCaps(screen.get(), LOGPIXELSX), profile == "dpi120" ? 120 : 96);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(::GetVersionExA(&info));
    // Windows 10 answers 6.2 to a program that declares no supported Windows, as this one does.
    const unsigned expected = profile == "xp" ? 51u : profile == "win10" ? 62u : 61u;
    EXPECT_EQ(info.dwMajorVersion * 10 + info.dwMinorVersion, expected);
}

}  // namespace
