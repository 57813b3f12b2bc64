// The class check against real registrations in the test prefix and real
// components: each class asked of COM in a process of its own, as a database
// program asks, and every way a class can fail, a crash and a hang included.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "repair/ClassCheck.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairRun.h"
#include "tests/FixtureFiles.h"
#include "tests/WizardHarness.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"

namespace {

constexpr DWORD kTestTimeLimit = 3000;

struct TestClass {
    const wchar_t* progId;
    const wchar_t* clsid;
};
constexpr TestClass kReady{L"MdacRepairTest.Ready", L"{5AE1C0DE-7E57-4000-8000-000000000001}"};
constexpr TestClass kNoProgId{L"MdacRepairTest.NoProgId", nullptr};
constexpr TestClass kNoClassKey{L"MdacRepairTest.NoClassKey", L"{5AE1C0DE-7E57-4000-8000-000000000002}"};
constexpr TestClass kMissingFile{L"MdacRepairTest.MissingFile", L"{5AE1C0DE-7E57-4000-8000-000000000003}"};
constexpr TestClass kBareName{L"MdacRepairTest.BareName", L"{5AE1C0DE-7E57-4000-8000-000000000004}"};
constexpr TestClass kCrashes{L"MdacRepairTest.Crashes", L"{5AE1C0DE-7E57-4000-8000-000000000005}"};
constexpr TestClass kHangs{L"MdacRepairTest.Hangs", L"{5AE1C0DE-7E57-4000-8000-000000000006}"};
constexpr TestClass kAfterTheHang{L"MdacRepairTest.AfterTheHang", L"{5AE1C0DE-7E57-4000-8000-000000000007}"};
constexpr TestClass kJet{L"Microsoft.Jet.OLEDB.4.0", L"{5AE1C0DE-7E57-4000-8000-000000000008}"};
constexpr TestClass kAll[] = {kReady,   kNoProgId, kNoClassKey,   kMissingFile, kBareName,
                              kCrashes, kHangs,    kAfterTheHang, kJet};

bool SetDefault(const std::wstring& keyName, const std::wstring& value, DWORD type = REG_SZ, REGSAM view = 0) {
    HKEY opened = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &opened,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const UniqueHkey key(opened);
    return ::RegSetValueExW(key.get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void DeleteTree(const std::wstring& keyName, REGSAM view = 0) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"", 0, KEY_ALL_ACCESS | view, &opened) != ERROR_SUCCESS) return;
    const UniqueHkey root(opened);
    ::RegDeleteTreeW(root.get(), keyName.c_str());
}

class ClassCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string profile = harness::Profile();
        if (!profile.empty() && profile != "en" && profile != "de")
            GTEST_SKIP() << "COM does not depend on the Windows version or the screen: run in en and de";
        // A space in the folder: COM and the check take the path as it is.
        scratch_ = fixtures::NewScratchDirectory() + L"\\class servers";
        ASSERT_TRUE(fixtures::CreateDirectories(scratch_));
        ClearRegistrations();
        SetRegistrationTimeLimit(kTestTimeLimit);
    }
    void TearDown() override {
        SetRegistrationTimeLimit(timeLimit_);
        ClearRegistrations();
        ::SetEnvironmentVariableW(L"WIZARD_CLASS_SERVERS", nullptr);
        if (!scratch_.empty()) fixtures::RemoveTree(scratch_.substr(0, scratch_.rfind(L'\\')));
    }
    static void ClearRegistrations() {
        for (const TestClass& test : kAll) {
            if (test.clsid == nullptr) continue;
            DeleteTree(test.progId);
            DeleteTree(std::wstring(L"CLSID\\") + test.clsid);
            DeleteTree(std::wstring(L"CLSID\\") + test.clsid, KEY_WOW64_32KEY);
        }
    }
    static void Register(const TestClass& test, const std::wstring& server, DWORD type = REG_SZ, REGSAM view = 0) {
        ASSERT_TRUE(SetDefault(std::wstring(test.progId) + L"\\CLSID", test.clsid));
        ASSERT_TRUE(SetDefault(std::wstring(L"CLSID\\") + test.clsid + L"\\InprocServer32", server, type, view));
    }
    std::wstring Server(const char* variable, const wchar_t* name) const {
        std::wstring path = scratch_ + L"\\" + name;
        EXPECT_TRUE(fixtures::InstallVariant(variable, path)) << variable;
        return path;
    }

    const DWORD timeLimit_ = RegistrationTimeLimit();  // restored also after a skip
    std::wstring scratch_;
};

TEST_F(ClassCheckTest, EachWayAClassFailsIsReportedAndTheCheckGoesOnPastACrashAndAHang) {
    const std::wstring ready = Server("WIZARD_STAND_IN", L"ready.dll");
    // Expanded in the checking process, which inherits this variable.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"WIZARD_CLASS_SERVERS", scratch_.c_str()));
    ASSERT_NO_FATAL_FAILURE(Register(kReady, L"%WIZARD_CLASS_SERVERS%\\ready.dll", REG_EXPAND_SZ));
    ASSERT_TRUE(SetDefault(std::wstring(kNoClassKey.progId) + L"\\CLSID", kNoClassKey.clsid));
    const std::wstring missing = scratch_ + L"\\gone\\missing.dll";
    ASSERT_NO_FATAL_FAILURE(Register(kMissingFile, missing));
    ASSERT_NO_FATAL_FAILURE(Register(kBareName, L"no-such-component.dll"));
    const std::wstring crashes = Server("WIZARD_STAND_IN_CRASHES", L"crashes.dll");
    const std::wstring hangs = Server("WIZARD_STAND_IN_HANGS", L"hangs.dll");
    ASSERT_NO_FATAL_FAILURE(Register(kCrashes, crashes));
    ASSERT_NO_FATAL_FAILURE(Register(kHangs, hangs));
    ASSERT_NO_FATAL_FAILURE(Register(kAfterTheHang, ready));
    // As 64-bit Windows keeps Jet: the name where both views see it, the
    // class in the 32-bit view only (a 32-bit Windows has that one view).
    ASSERT_NO_FATAL_FAILURE(Register(kJet, ready, REG_SZ, KEY_WOW64_32KEY));

    // Each class is provided by a catalogue file that is there, but for the
    // missing one, whose file the file lines report already.
    ComponentFileTable catalogue(2);
    catalogue[0].FileName = L"PRESENT.DLL";
    catalogue[0].CataloguePath = ready;
    catalogue[1].FileName = L"ABSENT.DLL";
    catalogue[1].CataloguePath = missing;
    std::vector<DataAccessClass> table;
    for (const TestClass& test : kAll) {
        const bool absent = std::wstring(test.progId) == kMissingFile.progId;
        table.push_back({test.progId, absent ? L"absent.dll" : L"present.dll"});
    }

    const DWORD started = ::GetTickCount();
    const std::vector<ClassReport> reports = CheckClasses(table, catalogue);
    const DWORD took = ::GetTickCount() - started;
    ASSERT_EQ(reports.size(), table.size());

    struct Expected {
        ClassState state;
        std::wstring path;
        std::wstring code;  // "" for none
        bool broken;
    };
    const bool wide = sizeof(void*) == 8;
    const Expected expected[] = {
        {ClassState::Ready, ready, L"", false},
        {ClassState::NotRegistered, L"", L"0x800401F3", true},
        {ClassState::NotRegistered, L"", L"0x80040154", true},
        {ClassState::FileMissing, missing, L"0x00000003", false},
        {ClassState::FileMissing, L"no-such-component.dll", L"0x0000007E", true},
        {ClassState::Fails, crashes, L"0xC0000005", true},
        {ClassState::Fails, hangs, L"", true},
        {ClassState::Ready, ready, L"", false},
        {wide ? ClassState::NotRegistered : ClassState::Ready, wide ? L"" : ready, wide ? L"0x80040154" : L"", wide},
    };
    for (size_t i = 0; i < reports.size(); ++i) {
        const ClassReport& report = reports[i];
        SCOPED_TRACE(ToAnsi(report.dataClass.progId));
        EXPECT_EQ(ClassKeyword(report.outcome.state), std::wstring(ClassKeyword(expected[i].state)));
        EXPECT_TRUE(fixtures::SamePath(report.outcome.path, expected[i].path)) << ToAnsi(report.outcome.path);
        const std::wstring code = ClassCode(report);
        // 32-bit Wine under QEMU reports an access violation as an illegal instruction.
        const bool emulatedCrash = sizeof(void*) == 4 && expected[i].code == L"0xC0000005" && code == L"0xC000001D";
        if (!emulatedCrash) {
            EXPECT_EQ(ToAnsi(code), ToAnsi(expected[i].code));
        }
        EXPECT_EQ(IsBroken(report), expected[i].broken);
        EXPECT_EQ(ClassReason(report).empty(), expected[i].state == ClassState::Ready);
    }
    EXPECT_EQ(ClassReason(reports[6]),
              harness::Localized(L"The registration did not finish within 3 seconds.",
                                 L"Die Registrierung wurde nicht innerhalb von 3 Sekunden abgeschlossen."));
    if (wide) {
        EXPECT_EQ(ClassReason(reports[8])
                      .rfind(harness::Localized(L"Jet 4.0 exists for 32-bit programs only",
                                                L"Jet 4.0 gibt es nur f\u00fcr 32-Bit-Programme"),
                             0),
                  0u)
            << ToAnsi(ClassReason(reports[8]));
    }

    // The failure box names every broken class with its reason and code.
    const std::wstring report = FailureReport({}, {}, reports);
    const std::wstring noName = harness::Localized(L"Database programs cannot use the data-access class ",
                                                   L"Datenbankprogramme k\u00f6nnen die Datenzugriffsklasse ");
    EXPECT_NE(report.find(noName + kNoProgId.progId), std::wstring::npos) << ToAnsi(report);
    EXPECT_NE(report.find(harness::Localized(L"The name of the class is not registered. (0x800401F3)",
                                             L"Der Name der Klasse ist nicht registriert. (0x800401F3)")),
              std::wstring::npos)
        << ToAnsi(report);
    EXPECT_EQ(report.find(kReady.progId), std::wstring::npos);
    EXPECT_EQ(report.find(kMissingFile.progId), std::wstring::npos) << "its file is reported missing already";
    std::printf("[   NOTE   ] %zu classes checked in %lu ms, one process each\n", reports.size(),
                static_cast<unsigned long>(took));
}

}  // namespace
