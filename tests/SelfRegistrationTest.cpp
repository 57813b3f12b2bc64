// The self-registration invoker against real DLLs in the test prefix: what it
// loads, what it calls, and that nothing stays loaded or open afterwards.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "repair/modDLLRegister.h"
#include "tests/FixtureFiles.h"
#include "tests/ResourceCounters.h"
#include "winsupport/DllSearch.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"

namespace {

// ---- the loader's own word on loads and unloads -----------------------------------------

struct CountedString {
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
};
struct DllNotification {
    ULONG flags;
    const CountedString* fullName;
    const CountedString* baseName;
    PVOID base;
    ULONG size;
};
using NotificationCallback = VOID(CALLBACK*)(ULONG reason, const DllNotification* data, PVOID context);
using RegisterNotification = LONG(NTAPI*)(ULONG, NotificationCallback, PVOID, PVOID*);
using UnregisterNotification = LONG(NTAPI*)(PVOID);

// Records every DLL load and unload of the process while it lives.
class LoaderWatch {
public:
    LoaderWatch() {
        const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
        const FARPROC add = ntdll ? ::GetProcAddress(ntdll, "LdrRegisterDllNotification") : nullptr;
        const FARPROC remove = ntdll ? ::GetProcAddress(ntdll, "LdrUnregisterDllNotification") : nullptr;
        unregister_ = reinterpret_cast<UnregisterNotification>(reinterpret_cast<void*>(remove));
        const auto registerWatch = reinterpret_cast<RegisterNotification>(reinterpret_cast<void*>(add));
        if (registerWatch && unregister_ && registerWatch(0, &LoaderWatch::Notify, this, &cookie_) != 0)
            cookie_ = nullptr;
    }
    ~LoaderWatch() {
        if (cookie_ != nullptr) unregister_(cookie_);
    }
    LoaderWatch(const LoaderWatch&) = delete;
    LoaderWatch& operator=(const LoaderWatch&) = delete;

    bool Working() const { return cookie_ != nullptr; }
    void Clear() { events_.clear(); }
    // How often the file was loaded (reason 1) or unloaded (reason 2).
    int Count(ULONG reason, const std::wstring& path) const {
        int count = 0;
        for (const auto& [eventReason, name] : events_)
            count += eventReason == reason && fixtures::SamePath(fixtures::LongPath(name), path) ? 1 : 0;
        return count;
    }

private:
    static VOID CALLBACK Notify(ULONG reason, const DllNotification* data, PVOID context) {
        if (data == nullptr || data->fullName == nullptr) return;
        static_cast<LoaderWatch*>(context)->events_.emplace_back(
            reason, std::wstring(data->fullName->buffer, data->fullName->length / sizeof(wchar_t)));
    }
    PVOID cookie_ = nullptr;
    UnregisterNotification unregister_ = nullptr;
    std::vector<std::pair<ULONG, std::wstring>> events_;
};

constexpr ULONG kLoaded = 1;
constexpr ULONG kUnloaded = 2;

// ---- the fixture --------------------------------------------------------------------------

class RegisterDllInvoker : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
        log_ = scratch_ + L"\\registrations.log";
        ASSERT_TRUE(::SetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", log_.c_str()));
        wchar_t current[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, current);
        currentDirectory_ = current;
    }
    void TearDown() override {
        // Out of the scratch directory before it goes.
        ::SetCurrentDirectoryW(currentDirectory_.c_str());
        ::SetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", nullptr);
        fixtures::RemoveTree(scratch_);
    }
    // Log lines as the long paths of the registered files.
    std::vector<std::wstring> Registered() const {
        std::vector<std::wstring> paths;
        for (const std::string& line : fixtures::ReadLines(log_)) paths.push_back(fixtures::LongPath(FromAnsi(line)));
        return paths;
    }
    std::wstring scratch_;
    std::wstring log_;
    std::wstring currentDirectory_;
};

enum class Prepared { BuiltVariant, TextFile, Missing, EmptyPath, NameInCurrentDirectory };
using Kind = RegistrationOutcome::Kind;

struct InvokerCase {
    const char* description;
    Prepared prepared;
    const char* variable;  // the built DLL for BuiltVariant
    const wchar_t* fileName;
    const char* entryName;
    int invocations;
    int expectedLogLines;
    bool expectLoaded;
    Kind expectedKind;
    unsigned long expectedCode;  // not checked when 0 and the kind is a failure
};

const InvokerCase kInvokerCases[] = {
    {"exports DllRegisterServer returning S_OK", Prepared::BuiltVariant, "WIZARD_STAND_IN", L"registers.dll",
     "DllRegisterServer", 1, 1, true, Kind::Registered, 0},
    {"the same path registered twice", Prepared::BuiltVariant, "WIZARD_STAND_IN", L"twice.dll", "DllRegisterServer", 2,
     2, true, Kind::Registered, 0},
    {"DllRegisterServer returns E_FAIL", Prepared::BuiltVariant, "WIZARD_STAND_IN_FAILING", L"fails.dll",
     "DllRegisterServer", 1, 1, true, Kind::EntryPointFailed, 0x80004005},
    {"no DllRegisterServer export", Prepared::BuiltVariant, "WIZARD_STAND_IN_NO_EXPORT", L"noexport.dll",
     "DllRegisterServer", 1, 0, true, Kind::NoEntryPoint, ERROR_PROC_NOT_FOUND},
    {"asked for an entry point it lacks", Prepared::BuiltVariant, "WIZARD_STAND_IN", L"otherentry.dll",
     "DllUnregisterServer", 1, 0, true, Kind::NoEntryPoint, ERROR_PROC_NOT_FOUND},
    {"a text file named like a DLL", Prepared::TextFile, nullptr, L"MSADO15.DLL", "DllRegisterServer", 1, 0, false,
     Kind::LoadFailed, 0},
    {"a missing file", Prepared::Missing, nullptr, L"missing.dll", "DllRegisterServer", 1, 0, false, Kind::LoadFailed,
     0},
    {"an empty path", Prepared::EmptyPath, nullptr, L"", "DllRegisterServer", 1, 0, false, Kind::LoadFailed,
     ERROR_BAD_PATHNAME},
    // The run's text for a file without a version, with a DLL of that name in
    // the current directory: a name, not a path, is never loaded.
    {"a name that a DLL in the current directory answers to", Prepared::NameInCurrentDirectory, "WIZARD_STAND_IN",
     L"Not available", "DllRegisterServer", 1, 0, false, Kind::LoadFailed, ERROR_BAD_PATHNAME},
};

TEST_F(RegisterDllInvoker, LoadsCallsAndUnloadsEachKindOfFile) {
    // Warm-up: the loader opens and keeps its settings keys on first use.
    const std::wstring warmUp = scratch_ + L"\\warmup.dll";
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN", warmUp));
    ASSERT_FALSE(::RegisterDll(ToAnsi(warmUp), "DllRegisterServer", L"warmup.dll").Failed());
    ASSERT_EQ(Registered().size(), 1u) << "the stand-in does not record its calls";
    ASSERT_EQ(::GetModuleHandleW(warmUp.c_str()), nullptr);

    LoaderWatch watch;
    if (!watch.Working()) std::printf("[   NOTE   ] no loader notifications; load events not checked\n");

    for (const InvokerCase& c : kInvokerCases) {
        SCOPED_TRACE(c.description);
        std::wstring path;
        switch (c.prepared) {
            case Prepared::BuiltVariant:
                path = scratch_ + L"\\" + c.fileName;
                ASSERT_TRUE(fixtures::InstallVariant(c.variable, path)) << c.variable;
                break;
            case Prepared::TextFile:
                ASSERT_TRUE(fixtures::CreateDirectories(scratch_ + L"\\text"));
                path = scratch_ + L"\\text\\" + c.fileName;
                ASSERT_TRUE(fixtures::WriteBytes(path, "This is no program, only text.\r\n"));
                break;
            case Prepared::Missing:
                path = scratch_ + L"\\" + c.fileName;
                break;
            case Prepared::EmptyPath:
                break;
            case Prepared::NameInCurrentDirectory:
                ASSERT_TRUE(fixtures::CreateDirectories(scratch_ + L"\\current"));
                ASSERT_TRUE(fixtures::InstallVariant(c.variable, scratch_ + L"\\current\\" + c.fileName + L".dll"));
                ASSERT_TRUE(::SetCurrentDirectoryW((scratch_ + L"\\current").c_str()));
                path = c.fileName;
                break;
        }
        fixtures::RemoveFile(log_);
        watch.Clear();
        const std::set<std::wstring> modulesBefore = counters::LoadedModules();
        const std::optional<size_t> handlesBefore = counters::KernelHandles().value;

        for (int call = 0; call < c.invocations; ++call) {
            const RegistrationOutcome outcome = ::RegisterDll(ToAnsi(path), c.entryName, c.fileName);
            EXPECT_EQ(outcome.kind, c.expectedKind);
            if (c.expectedCode != 0 || c.expectedKind == Kind::Registered) {
                EXPECT_EQ(outcome.code, c.expectedCode) << std::hex << "0x" << outcome.code;
            } else {
                EXPECT_NE(outcome.code, 0u) << "a failure without its error";
            }
        }
        if (c.prepared == Prepared::NameInCurrentDirectory) {
            ::SetCurrentDirectoryW(currentDirectory_.c_str());
            path = scratch_ + L"\\current\\" + c.fileName + L".dll";
        }

        const std::optional<size_t> handlesAfter = counters::KernelHandles().value;
        const std::set<std::wstring> modulesAfter = counters::LoadedModules();
        if (handlesBefore && handlesAfter) {
            EXPECT_EQ(*handlesAfter, *handlesBefore) << "open handles before and after";
        }
        EXPECT_EQ(modulesAfter, modulesBefore)
            << "modules that changed:" << counters::ModuleChanges(modulesBefore, modulesAfter);
        if (!path.empty()) {
            EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr) << "still loaded";
        }

        const std::vector<std::wstring> registered = Registered();
        EXPECT_EQ(registered.size(), static_cast<size_t>(c.expectedLogLines));
        for (const std::wstring& line : registered) {
            EXPECT_TRUE(fixtures::SamePath(line, path)) << "found " << ToAnsi(line) << ", expected " << ToAnsi(path);
        }
        if (c.expectedLogLines == 0) {
            EXPECT_EQ(::GetFileAttributesW(log_.c_str()), INVALID_FILE_ATTRIBUTES) << "a call was recorded";
        }

        if (watch.Working() && !path.empty()) {
            const int loads = c.expectLoaded ? c.invocations : 0;
            EXPECT_EQ(watch.Count(kLoaded, path), loads) << "loads";
            EXPECT_EQ(watch.Count(kUnloaded, path), loads) << "unloads";
        }
    }
}

// A component's own DLLs come from beside it, never from the program's folder
// (the test program's folder holds a helper of the same name, as the build
// puts it there) nor from the current directory, however the system lets the
// component be loaded.
TEST_F(RegisterDllInvoker, TakesAComponentsOwnDllsFromBesideIt) {
    const std::wstring componentDirectory = scratch_ + L"\\component";
    const std::wstring currentDirectory = scratch_ + L"\\current";
    const std::wstring component = componentDirectory + L"\\uses helper.dll";
    const std::wstring helper = componentDirectory + L"\\stand_in_helper.dll";
    ASSERT_TRUE(fixtures::CreateDirectories(componentDirectory));
    ASSERT_TRUE(fixtures::CreateDirectories(currentDirectory));
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN_USES_HELPER", component));
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN_HELPER", helper));
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN_HELPER", currentDirectory + L"\\stand_in_helper.dll"));
    const std::wstring besideProgram = fixtures::BuiltFile("WIZARD_STAND_IN_HELPER");
    ASSERT_FALSE(besideProgram.empty());
    ASSERT_TRUE(::SetCurrentDirectoryW(currentDirectory.c_str()));

    const RegistrationOutcome outcome = ::RegisterDll(ToAnsi(component), "DllRegisterServer", L"uses helper.dll");
    EXPECT_EQ(outcome.kind, Kind::Registered) << "error 0x" << std::hex << outcome.code;
    const std::vector<std::string> lines = fixtures::ReadLines(log_);
    ASSERT_EQ(lines.size(), 2u) << "the component's call and its helper's";
    EXPECT_TRUE(fixtures::SamePath(fixtures::LongPath(FromAnsi(lines[0])), component)) << lines[0];
    const std::string& helperLine = lines[1];
    const std::string suffix = " helper";
    ASSERT_GT(helperLine.size(), suffix.size());
    EXPECT_TRUE(fixtures::SamePath(
        fixtures::LongPath(FromAnsi(helperLine.substr(0, helperLine.size() - suffix.size()))), helper))
        << "the helper was taken from " << helperLine;

    // Where the loader has no search flags, the altered search order does it.
    {
        const UniqueModule loaded = LoadComponentLibrary(ToAnsi(component), ComponentSearch::AlteredSearchPath);
        ASSERT_TRUE(loaded) << "error " << ::GetLastError();
        wchar_t taken[MAX_PATH] = {};
        ::GetModuleFileNameW(::GetModuleHandleW(L"stand_in_helper.dll"), taken, MAX_PATH);
        EXPECT_TRUE(fixtures::SamePath(fixtures::LongPath(taken), helper)) << "taken from " << ToAnsi(taken);
    }
    EXPECT_EQ(::GetModuleHandleW(L"stand_in_helper.dll"), nullptr) << "the helper stays loaded";
}

// ---- error texts ---------------------------------------------------------------------------

std::wstring SystemText(DWORD code) {
    wchar_t buffer[512] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                          buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    return std::wstring(buffer, length);
}

TEST(RegisterDllErrorText, IsTheSystemTextWithItsLineEnd) {
    // File not found, access denied, success and one whose text has an insert.
    for (const DWORD code : {2ul, 5ul, 0ul, 193ul}) {
        SCOPED_TRACE(testing::Message() << "error " << code);
        const std::wstring expected = SystemText(code);
        ASSERT_FALSE(expected.empty()) << "Wine has no text for this code";
        const std::wstring found = SystemErrorText(code);
        EXPECT_EQ(found, expected) << "found \"" << ToAnsi(found) << "\", expected \"" << ToAnsi(expected) << "\"";
        EXPECT_GE(found.size(), 2u);
        if (found.size() >= 2) {
            EXPECT_EQ(found.substr(found.size() - 2), L"\r\n");
        }
    }
}

TEST(RegisterDllErrorText, MatchesTheSystemForEveryWin32Code) {
    int known = 0;
    std::vector<std::string> mismatches;
    for (DWORD code = 0; code < 16000; ++code) {
        const std::wstring system = SystemText(code);
        const std::wstring expected = system.empty() ? L"Error text not found." : system;
        known += system.empty() ? 0 : 1;
        const std::wstring found = SystemErrorText(code);
        if (found != expected)
            mismatches.push_back(std::to_string(code) + ": found \"" + ToAnsi(found) + "\", expected \"" +
                                 ToAnsi(expected) + "\"");
    }
    EXPECT_GT(known, 100) << "Wine knows hardly any error texts";
    std::string shown;
    for (size_t i = 0; i < mismatches.size() && i < 5; ++i) shown += "\n  " + mismatches[i];
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " codes differ, among them:" << shown;
}

TEST(RegisterDllErrorText, UnknownCodesHaveTheFallbackText) {
    for (const DWORD code : {0x12345678ul, 0x0000FFFFul, 0xDEADBEEFul}) {
        SCOPED_TRACE(testing::Message() << "error 0x" << std::hex << code);
        ASSERT_TRUE(SystemText(code).empty()) << "Wine knows this code";
        EXPECT_EQ(SystemErrorText(code), L"Error text not found.");
    }
}

}  // namespace
