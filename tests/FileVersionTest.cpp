// The file version reader on real files in the test prefix: copies of the
// stand-in component with stamped versions, files without version information
// and files whose version record is broken.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "winsupport/MessageCatalogue.h"
#include "tests/FixtureFiles.h"
#include "tests/VersionPageTexts.h"
#include "tests/WizardHarness.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

const std::wstring ScratchDirectory = L"C:\\VelmorantTest\\FileVersion";

std::wstring InScratch(const std::wstring& name) {
    return ScratchDirectory + L"\\" + name;
}

// A record the reader must leave alone when it fails.
VS_FIXEDFILEINFO SentinelRecord() {
    VS_FIXEDFILEINFO info;
    std::memset(&info, 0xAB, sizeof(info));
    return info;
}

bool IsSentinel(const VS_FIXEDFILEINFO& info) {
    const VS_FIXEDFILEINFO sentinel = SentinelRecord();
    return std::memcmp(&info, &sentinel, sizeof(info)) == 0;
}

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

BOOL CALLBACK CountLanguagesOfName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR counter) {
    ::EnumResourceLanguagesW(module, type, name, &CountLanguage, counter);
    return TRUE;
}

// How many version resources (names times languages) the file holds.
int VersionResourceCount(const std::wstring& file) {
    UniqueModule module(::LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return -1;
    int count = 0;
    ::EnumResourceNamesW(module.get(), MAKEINTRESOURCEW(16), &CountLanguagesOfName, reinterpret_cast<LONG_PTR>(&count));
    return count;
}

// Sets an environment variable of this process for one scope.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
        ::SetEnvironmentVariableW(name_, value.c_str());
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
    ~ScopedEnvironmentVariable() { ::SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

using EntryPoint = HRESULT(WINAPI*)();

EntryPoint RegistrationEntry(HMODULE module) {
    const FARPROC address = ::GetProcAddress(module, "DllRegisterServer");
    EntryPoint entry = nullptr;
    static_assert(sizeof(entry) == sizeof(address), "function pointers of one size");
    std::memcpy(&entry, &address, sizeof(entry));
    return entry;
}

class FileVersionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixtures::RemoveTree(ScratchDirectory);
        ASSERT_TRUE(fixtures::CreateDirectories(ScratchDirectory));
    }
    void TearDown() override { fixtures::RemoveTree(ScratchDirectory); }
};

struct StampCase {
    WORD major, minor, build, revision;
    const wchar_t* text;
    const wchar_t* buildOnly;
};

TEST_F(FileVersionTest, ReadsEveryStampedVersionOfTheTable) {
    const StampCase cases[] = {
        {4, 0, 8015, 0, L"4.0.8015", L"8015"},
        {4, 0, 8618, 0, L"4.0.8618", L"8618"},
        {4, 0, 6218, 0, L"4.0.6218", L"6218"},
        {4, 0, 2927, 4, L"4.0.2927", L"4"},
        {2, 81, 1117, 0, L"2.81.1117", L"1117"},
        {2, 82, 3959, 0, L"2.82.3959", L"3959"},
        {40000, 1, 40000, 0, L"40000.1.40000", L"40000"},
        {65535, 65535, 65535, 65535, L"65535.65535.65535", L"65535"},
        {65535, 0, 0, 0, L"65535.0.0", L"0"},
        {0, 0, 0, 0, L"0.0.0", L"0"},
        {1, 2, 0, 7, L"1.2.0", L"7"},
        {10, 0, 9, 1, L"10.0.9", L"1"},
        {6, 1, 7601, 65535, L"6.1.7601", L"65535"},
        {32768, 256, 1, 0, L"32768.256.1", L"1"},
    };
    int index = 0;
    for (const StampCase& c : cases) {
        const std::wstring file = InScratch(L"component" + std::to_wstring(++index) + L".dll");
        SCOPED_TRACE(ToAnsi(file) + " stamped " + std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
                     std::to_string(c.build) + "." + std::to_string(c.revision));
        ASSERT_TRUE(fixtures::InstallStandIn(file, c.major, c.minor, c.build, c.revision));

        VS_FIXEDFILEINFO info = SentinelRecord();
        ASSERT_TRUE(ReadFixedFileInfo(file, info));
        EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(info.dwStrucVersion, 0x00010000u);
        EXPECT_EQ(info.dwFileVersionMS, static_cast<DWORD>(c.major) << 16 | c.minor);
        EXPECT_EQ(info.dwFileVersionLS, static_cast<DWORD>(c.build) << 16 | c.revision);
        EXPECT_EQ(info.dwProductVersionMS, info.dwFileVersionMS);
        EXPECT_EQ(info.dwProductVersionLS, info.dwFileVersionLS);

        EXPECT_EQ(GetFileVersionText(file, false), c.text);
        EXPECT_EQ(GetFileVersionText(file, true), c.buildOnly);
    }
}

TEST_F(FileVersionTest, ReadsTheBuiltVersionThenEachRestamp) {
    const std::wstring file = InScratch(L"restamped.dll");
    ASSERT_TRUE(::CopyFileW(fixtures::BuiltFile("WIZARD_STAND_IN").c_str(), file.c_str(), FALSE))
        << "the stand-in's build path comes from WIZARD_STAND_IN";
    EXPECT_EQ(GetFileVersionText(file, false), L"1.0.0");  // from the resource script
    EXPECT_EQ(VersionResourceCount(file), 1);

    ASSERT_TRUE(fixtures::StampVersion(file, 4, 0, 8015, 0));
    EXPECT_EQ(GetFileVersionText(file, false), L"4.0.8015");
    ASSERT_TRUE(fixtures::StampVersion(file, 2, 81, 1117, 3));
    EXPECT_EQ(GetFileVersionText(file, false), L"2.81.1117");
    EXPECT_EQ(GetFileVersionText(file, true), L"3");
    EXPECT_EQ(VersionResourceCount(file), 1) << "a stamp replaces the old version resource";
}

TEST_F(FileVersionTest, FilesWithoutVersionAreNotAvailable) {
    ASSERT_TRUE(fixtures::InstallUnversionedStandIn(InScratch(L"unversioned.dll")));
    ASSERT_TRUE(fixtures::WriteBytes(InScratch(L"readme.txt"), "Not a program.\r\n"));
    ASSERT_TRUE(fixtures::WriteBytes(InScratch(L"empty.dll"), ""));
    ASSERT_TRUE(fixtures::WriteBytes(InScratch(L"fake.dll"), std::string("MZ") + std::string(200, '\0')));
    ASSERT_TRUE(fixtures::CreateDirectories(InScratch(L"folder.dll")));
    ASSERT_TRUE(fixtures::InstallStandIn(InScratch(L"stripped.dll"), 4, 0, 8015, 0));
    ASSERT_TRUE(fixtures::StampRawVersionResource(InScratch(L"stripped.dll"), {}));

    const std::wstring files[] = {
        InScratch(L"unversioned.dll"),
        InScratch(L"readme.txt"),
        InScratch(L"empty.dll"),
        InScratch(L"fake.dll"),
        InScratch(L"folder.dll"),
        InScratch(L"stripped.dll"),
        InScratch(L"missing.dll"),
        InScratch(L"no such folder\\component.dll"),
        ScratchDirectory,
        L"",
    };
    ASSERT_FALSE(pagetext::NotAvailable().empty());
    EXPECT_EQ(LoadMessage(msg::NotAvailable), pagetext::NotAvailable());
    for (const std::wstring& file : files) {
        SCOPED_TRACE("file \"" + ToAnsi(file) + "\"");
        VS_FIXEDFILEINFO info = SentinelRecord();
        EXPECT_FALSE(ReadFixedFileInfo(file, info));
        EXPECT_TRUE(IsSentinel(info)) << "the record was written although the reader failed";
        EXPECT_EQ(GetFileVersionText(file, false), pagetext::NotAvailable());
        EXPECT_EQ(GetFileVersionText(file, true), pagetext::NotAvailable());
    }
}

// A version resource whose header, wValueLength and bytes are given.
std::vector<BYTE> VersionBlob(WORD valueLength, size_t valueBytes) {
    std::vector<BYTE> blob(6, 0);
    for (wchar_t c : std::wstring(L"VS_VERSION_INFO")) {
        blob.push_back(static_cast<BYTE>(c));
        blob.push_back(0);
    }
    blob.insert(blob.end(), {0, 0, 0, 0});  // the key's terminator, then padding to 32 bits
    const std::vector<BYTE> fixed = fixtures::VersionResource(4, 0, 8015, 0);
    const std::ptrdiff_t fixedOffset = 40;  // where VersionResource puts the record
    const auto recordStart = fixed.begin() + fixedOffset;
    blob.insert(blob.end(), recordStart, recordStart + static_cast<std::ptrdiff_t>(valueBytes));
    blob[0] = static_cast<BYTE>(blob.size());
    blob[2] = static_cast<BYTE>(valueLength);
    return blob;
}

struct BrokenCase {
    const char* what;
    std::vector<BYTE> blob;
};

TEST_F(FileVersionTest, ShortOrBrokenRecordsAreNotRead) {
    const BrokenCase cases[] = {
        {"record cut to 20 bytes", VersionBlob(20, 20)},
        {"record cut to 51 bytes", VersionBlob(51, 51)},
        {"no record at all", VersionBlob(0, 0)},
        {"four bytes of nothing", {4, 0, 0, 0}},
    };
    int index = 0;
    for (const BrokenCase& c : cases) {
        const std::wstring file = InScratch(L"broken" + std::to_wstring(++index) + L".dll");
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(fixtures::InstallStandIn(file, 4, 0, 8015, 0));
        ASSERT_TRUE(fixtures::StampRawVersionResource(file, c.blob));
        VS_FIXEDFILEINFO info = SentinelRecord();
        EXPECT_FALSE(ReadFixedFileInfo(file, info));
        EXPECT_TRUE(IsSentinel(info)) << "the record was written although the reader failed";
        EXPECT_EQ(GetFileVersionText(file, false), pagetext::NotAvailable());
        EXPECT_EQ(GetFileVersionText(file, true), pagetext::NotAvailable());
    }
}

// A root block of the given total length: the record, then child bytes.
std::vector<BYTE> GrownBlob(size_t length, WORD build) {
    std::vector<BYTE> blob = fixtures::VersionResource(2, 81, build, 0);
    blob.resize(length, 0);
    blob[0] = static_cast<BYTE>(length & 0xFF);
    blob[1] = static_cast<BYTE>(length >> 8);
    return blob;
}

TEST_F(FileVersionTest, BlocksOfAnySizeAreReadWhole) {
    // The reader takes a first look with a buffer of its own size; blocks
    // either side of it, and up to the largest a block can say it has.
    const size_t lengths[] = {4096, 8191, 8192, 8193, 20000, 65532};
    int index = 0;
    for (size_t length : lengths) {
        SCOPED_TRACE("block of " + std::to_string(length) + " bytes");
        const auto build = static_cast<WORD>(1000 + ++index);
        const std::wstring file = InScratch(L"grown" + std::to_wstring(index) + L".dll");
        ASSERT_TRUE(fixtures::InstallStandIn(file, 4, 0, 8015, 0));
        ASSERT_TRUE(fixtures::StampRawVersionResource(file, GrownBlob(length, build)));
        VS_FIXEDFILEINFO info = SentinelRecord();
        ASSERT_TRUE(ReadFixedFileInfo(file, info));
        EXPECT_EQ(info.dwFileVersionLS, static_cast<DWORD>(build) << 16);
        EXPECT_EQ(GetFileVersionText(file, false), L"2.81." + std::to_wstring(build));
    }

    // A block that claims more than the resource holds, beyond the first
    // look, is not read: the second read is only as long as the resource.
    const size_t claims[] = {30000, 65535};
    for (size_t claim : claims) {
        SCOPED_TRACE("200 bytes claiming " + std::to_string(claim));
        std::vector<BYTE> blob = GrownBlob(200, 1117);
        blob[0] = static_cast<BYTE>(claim & 0xFF);
        blob[1] = static_cast<BYTE>(claim >> 8);
        const std::wstring file = InScratch(L"claims" + std::to_wstring(claim) + L".dll");
        ASSERT_TRUE(fixtures::InstallStandIn(file, 4, 0, 8015, 0));
        ASSERT_TRUE(fixtures::StampRawVersionResource(file, blob));
        VS_FIXEDFILEINFO info = SentinelRecord();
        EXPECT_FALSE(ReadFixedFileInfo(file, info));
        EXPECT_TRUE(IsSentinel(info));
        EXPECT_EQ(GetFileVersionText(file, false), pagetext::NotAvailable());
    }
}

TEST_F(FileVersionTest, TheBlobBuilderMatchesTheRecordLayout) {
    // The broken cases above cut records out of this blob at a fixed offset.
    const std::vector<BYTE> blob = fixtures::VersionResource(4, 0, 8015, 7);
    ASSERT_GE(blob.size(), 92u);
    EXPECT_EQ(blob[0] | blob[1] << 8, static_cast<int>(blob.size()));
    EXPECT_EQ(blob[2] | blob[3] << 8, 52);
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, blob.data() + 40, sizeof(fixed));
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00040000u);
    EXPECT_EQ(fixed.dwFileVersionLS, (8015u << 16) | 7u);
}

TEST_F(FileVersionTest, TheStandInExportsDllRegisterServerUnderItsPlainName) {
    const std::wstring copies[] = {InScratch(L"Export Check\\component.dll"), InScratch(L"second.dll")};
    ASSERT_TRUE(fixtures::InstallStandIn(copies[0], 4, 0, 8015, 0));
    ASSERT_TRUE(fixtures::InstallUnversionedStandIn(copies[1]));
    const std::wstring log = InScratch(L"registration.log");
    {
        ScopedEnvironmentVariable variable(L"WIZARD_REGISTRATION_LOG", log);
        for (const std::wstring& copy : copies) {
            UniqueModule module(::LoadLibraryW(copy.c_str()));
            ASSERT_TRUE(module) << ToAnsi(copy) << " does not load, error " << ::GetLastError();
            const EntryPoint entry = RegistrationEntry(module.get());
            ASSERT_NE(entry, nullptr) << ToAnsi(copy) << " exports no plain DllRegisterServer";
            EXPECT_EQ(entry(), S_OK);
        }
        UniqueModule again(::LoadLibraryW(copies[0].c_str()));
        ASSERT_TRUE(again);
        const EntryPoint entry = RegistrationEntry(again.get());
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry(), S_OK);
    }
    const std::vector<std::string> expected{ToAnsi(copies[0]), ToAnsi(copies[1]), ToAnsi(copies[0])};
    EXPECT_EQ(fixtures::ReadLines(log), expected) << "one line per call, naming the called copy";
}

TEST_F(FileVersionTest, TheStandInLogsNothingOnceTheVariableIsGone) {
    const std::wstring copy = InScratch(L"quiet.dll");
    ASSERT_TRUE(fixtures::InstallStandIn(copy, 1, 0, 0, 0));
    const std::wstring log = InScratch(L"quiet.log");
    UniqueModule module(::LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(module);
    const EntryPoint entry = RegistrationEntry(module.get());
    ASSERT_NE(entry, nullptr);
    {
        ScopedEnvironmentVariable variable(L"WIZARD_REGISTRATION_LOG", log);
        EXPECT_EQ(entry(), S_OK);
    }
    EXPECT_EQ(entry(), S_OK);  // the variable is read on every call
    EXPECT_EQ(fixtures::ReadLines(log), std::vector<std::string>{ToAnsi(copy)});
}

}  // namespace
