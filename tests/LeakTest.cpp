// Leaks and lasting health: the counts of kernel handles, GDI objects and
// USER objects must not grow over many walks through the pages, refills and
// sorts of the file list, repair runs and whole window lifetimes; nor may the
// registry class and the self-registration invoker keep handles or modules
// of faulty input. Each check measures after a warm-up, so that what the
// platform loads and caches on first use is not counted as a leak. The
// figures are printed for the record.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "repair/modDLLRegister.h"
#include "tests/FixtureFiles.h"
#include "tests/ResourceCounters.h"
#include "tests/WizardHarness.h"
#include "winsupport/Handles.h"
#include "winsupport/RaisedError.h"
#include "winsupport/TextCodec.h"
#include "winsupport/cRegistry.h"

namespace {

// ---- the counts ------------------------------------------------------------------------------

struct Snapshot {
    counters::Count handles, gdi, user;
};

Snapshot Take(bool withUser = true) {
    Snapshot snapshot{counters::KernelHandles(), counters::GdiObjects(), {}};
    if (withUser) snapshot.user = counters::UserObjects();
    return snapshot;
}

std::string Figure(const counters::Count& count) {
    return count.value ? std::to_string(*count.value) : std::string("-");
}

// Prints the figures and fails for any count that grew.
void ExpectNoGrowth(const std::string& what, const Snapshot& before, const Snapshot& after) {
    std::printf("[   NOTE   ] %s: handles %s -> %s, GDI objects %s -> %s, USER objects %s -> %s\n", what.c_str(),
                Figure(before.handles).c_str(), Figure(after.handles).c_str(), Figure(before.gdi).c_str(),
                Figure(after.gdi).c_str(), Figure(before.user).c_str(), Figure(after.user).c_str());
    const struct {
        const char* name;
        const counters::Count& before;
        const counters::Count& after;
    } counts[] = {{"kernel handles", before.handles, after.handles},
                  {"GDI objects", before.gdi, after.gdi},
                  {"USER objects", before.user, after.user}};
    for (const auto& c : counts) {
        if (!c.before.value || !c.after.value) continue;
        EXPECT_LE(*c.after.value, *c.before.value)
            << what << ": " << c.name << " found " << *c.after.value << " after, expected at most the "
            << *c.before.value << " before (counted by " << c.after.method << ")";
    }
}

// The counts the platform offers here; a test without any has nothing to measure.
void SkipUnlessCountable(bool needUser) {
    const Snapshot probe = Take(needUser);
    if (!probe.handles.value) GTEST_SKIP() << "no handle count: " << probe.handles.method;
    if (!probe.gdi.value) std::printf("[   NOTE   ] GDI objects not counted: %s\n", probe.gdi.method.c_str());
    if (needUser && !probe.user.value)
        std::printf("[   NOTE   ] USER objects not counted: %s\n", probe.user.method.c_str());
    static bool told = false;
    if (!told) {
        told = true;
        std::printf("[   NOTE   ] counted: handles by %s; GDI objects by %s; USER objects by %s\n",
                    probe.handles.method.c_str(), probe.gdi.method.c_str(),
                    needUser ? probe.user.method.c_str() : "(not needed)");
    }
}

// Leaks do not depend on the language or the screen: one profile measures them.
bool MeasuringProfile() {
    return harness::Profile().empty() || harness::Profile() == "en";
}

// ---- the window ------------------------------------------------------------------------------

class Leak : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MeasuringProfile()) GTEST_SKIP() << "leaks are measured in the en profile only";
        ASSERT_FALSE(fixtures::CommonFilesDirectory().empty());
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
        // A stand-in under every catalogue path: the repair runs call nothing of the prefix's own.
        overrides_ = std::make_unique<fixtures::NativeDllOverrides>(fixtures::CatalogueFileNames());
        ASSERT_TRUE(overrides_->Applied());
        const std::wstring stamped = scratch_ + L"\\component.dll";
        ASSERT_TRUE(fixtures::InstallStandIn(stamped, 2, 81, 1117, 0));
        for (const auto& file : fixtures::ExpectedCatalogue())
            ASSERT_TRUE(changes_.Place(stamped, fixtures::CataloguePath(file)));
    }
    void TearDown() override {
        form.reset();
        EXPECT_TRUE(changes_.Restore()) << "the prefix's component files are not all back";
        overrides_.reset();
        if (!scratch_.empty()) fixtures::RemoveTree(scratch_);
    }

    void Launch() {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
    }
    // Clicks a button with the mouse and waits for the page it leads to.
    void Click(ControlId button, int step) {
        harness::ClickWithMouse(form->Control(button));
        ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == step; }))
            << "button " << button << " did not lead to step " << step << " (now " << form->WizardStep << ")";
        harness::Pump(*form, 5);
    }
    // From the repair page through the file list to the welcome page and back.
    void Cycle() {
        Click(cmdWeiter, 4);
        Click(cmdZurück, 3);
        Click(cmdZurück, 2);
        Click(cmdZurück, 1);
        Click(cmdWeiter, 2);
        Click(cmdWeiter, 3);
    }
    void ClickHeader(int column) {
        HWND list = form->Control(lvwMDACFiles);
        HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
        ASSERT_NE(header, nullptr);
        RECT rect{};
        ASSERT_TRUE(
            ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rect)));
        harness::MoveMouseTo(header, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        harness::Pump(*form, 10);
        harness::ClickLeftButton();
        harness::Pump(*form, 30);
    }

    std::unique_ptr<frmMain> form;
    std::wstring scratch_;
    fixtures::PrefixChanges changes_;
    std::unique_ptr<fixtures::NativeDllOverrides> overrides_;
};

TEST_F(Leak, PageWalksListRefillsAndRepairRunsLeaveNothingBehind) {
    SkipUnlessCountable(true);
    // Warm-up: the first run and one walk through every page but the last.
    Launch();
    Click(cmdWeiter, 2);
    Click(cmdWeiter, 3);
    harness::ClickWithMouse(form->Control(cmdRepairMDAC));
    ASSERT_TRUE(harness::PumpUntil(
        *form, [&] { return form->RepairDone; }, 30000))
        << "the first run did not end";
    harness::ClickWithMouse(form->Control(optFurtherProblems));
    harness::Pump(*form, 30);
    ASSERT_NO_FATAL_FAILURE(Cycle());

    constexpr int kWalks = 50;
    const Snapshot beforeWalks = Take();
    for (int walk = 0; walk < kWalks; ++walk) ASSERT_NO_FATAL_FAILURE(Cycle()) << "walk " << walk;
    const Snapshot afterWalks = Take();
    ExpectNoGrowth(std::to_string(kWalks) + " walks Back and Next through pages 1 to 4", beforeWalks, afterWalks);

    constexpr int kRefills = 20;
    const Snapshot beforeRefills = Take();
    for (int refill = 0; refill < kRefills; ++refill) {
        ASSERT_NO_FATAL_FAILURE(Click(cmdZurück, 2));
        ASSERT_NO_FATAL_FAILURE(Click(cmdWeiter, 3));  // fills the list again
        ASSERT_NO_FATAL_FAILURE(Click(cmdWeiter, 4));
        ASSERT_NO_FATAL_FAILURE(ClickHeader(refill % 3));  // and sorts it
        ASSERT_NO_FATAL_FAILURE(Click(cmdZurück, 3));
    }
    const Snapshot afterRefills = Take();
    ExpectNoGrowth(std::to_string(kRefills) + " refills and sorts of the file list", beforeRefills, afterRefills);

    // Wine's caches grow once more during the second and third run (three
    // GDI objects, two handles), later runs keep their size.
    for (int run = 0; run < 2; ++run) form->OnRepairClick();
    harness::Pump(*form, 20);
    const Snapshot beforeRuns = Take();
    for (int run = 0; run < 2; ++run) {
        form->OnRepairClick();  // the button is hidden after the first run
        ASSERT_TRUE(form->IsLoaded());
        ASSERT_TRUE(form->RepairDone);
        harness::Pump(*form, 20);
    }
    const Snapshot afterRuns = Take();
    ExpectNoGrowth("two more repair runs", beforeRuns, afterRuns);

    // The last page, and the window's end.
    harness::ClickWithMouse(form->Control(cmdAbbrechen));
    ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == 5; }));
    harness::ClickWithMouse(form->Control(cmdAbbrechen));
    ASSERT_TRUE(harness::PumpUntil(*form, [&] { return !form->IsLoaded(); })) << "the window did not close";
}

TEST_F(Leak, WholeWindowLifetimesLeaveNothingBehind) {
    SkipUnlessCountable(true);
    const auto lifetime = [this] {
        Launch();
        Click(cmdWeiter, 2);
        Click(cmdWeiter, 3);  // the catalogue is read, the list filled
        Click(cmdZurück, 2);
        form.reset();
        MSG message{};
        for (int i = 0; i < 20; ++i) {
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
            ::Sleep(2);
        }
    };
    ASSERT_NO_FATAL_FAILURE(lifetime());  // warm-up
    constexpr int kLifetimes = 10;
    const Snapshot before = Take();
    for (int i = 0; i < kLifetimes; ++i) ASSERT_NO_FATAL_FAILURE(lifetime()) << "lifetime " << i;
    const Snapshot after = Take();
    ExpectNoGrowth(std::to_string(kLifetimes) + " windows made, walked to the file list and destroyed", before, after);
}

// The generator of the random values; its fixed seed makes them reproduce
// (and a predictable sequence is the point here).
std::mt19937 Seeded(std::uint32_t seed) {
    return std::mt19937(seed);
}

// ---- the invoker and the registry class ---------------------------------------------------------

class LeakOfInput : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MeasuringProfile()) GTEST_SKIP() << "leaks are measured in the en profile only";
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
    }
    void TearDown() override {
        if (!scratch_.empty()) fixtures::RemoveTree(scratch_);
    }
    std::wstring scratch_;
};

// The kinds of file the repair tests of the invoker leave out.
TEST_F(LeakOfInput, RegisterDllKeepsNothingOfFaultyComponents) {
    SkipUnlessCountable(false);
    if (fixtures::BuiltFile("WIZARD_STAND_IN_OTHER_ARCH").empty())
        GTEST_SKIP() << "no stand-in of the other architecture was built";
    const std::wstring dllMainFails = scratch_ + L"\\dllmain.dll";
    const std::wstring otherArchitecture = scratch_ + L"\\other-arch.dll";
    const std::wstring directory = scratch_ + L"\\folder.dll";
    const std::wstring locked = scratch_ + L"\\locked.dll";
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN_DLLMAIN_FAILS", dllMainFails));
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN_OTHER_ARCH", otherArchitecture));
    ASSERT_TRUE(fixtures::CreateDirectories(directory));
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN", locked));
    const fixtures::LockedFile lock(locked);
    ASSERT_TRUE(lock.Held());
    struct Case {
        const char* what;
        std::wstring path;
    };
    const Case cases[] = {{"DllMain fails", dllMainFails},
                          {"DLL of the other architecture", otherArchitecture},
                          {"directory", directory},
                          {"locked by another process", locked}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = ToAnsi(c.path);
        ::RegisterDll(path, "DllRegisterServer", L"x.dll");  // warm-up
        const std::set<std::wstring> modulesBefore = counters::LoadedModules();
        const Snapshot before = Take(false);
        for (int i = 0; i < 20; ++i) ::RegisterDll(path, "DllRegisterServer", L"x.dll");
        const Snapshot after = Take(false);
        const std::set<std::wstring> modulesAfter = counters::LoadedModules();
        ExpectNoGrowth(std::string("RegisterDll 20 times on a file: ") + c.what, before, after);
        EXPECT_EQ(modulesAfter, modulesBefore)
            << "modules that changed:" << counters::ModuleChanges(modulesBefore, modulesAfter);
        EXPECT_EQ(::GetModuleHandleW(c.path.c_str()), nullptr) << "still loaded";
    }
}

// The operations of the registry class on values of every type and size
// that the registry tests leave out of their handle check.
TEST_F(LeakOfInput, TheRegistryClassKeepsNoHandleOfBadValues) {
    SkipUnlessCountable(false);
    const wchar_t kKey[] = L"Software\\VelmorantTest\\LeakOfInput";
    HKEY raw = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    struct KeyCleanup {
        const wchar_t* key;
        ~KeyCleanup() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key); }
    } cleanup{kKey};
    {
        const UniqueHkey key(raw);
        std::mt19937 random = Seeded(0x1EA4u);
        const DWORD types[] = {REG_NONE,     REG_SZ,    REG_EXPAND_SZ,        REG_BINARY, REG_DWORD,
                               REG_MULTI_SZ, REG_QWORD, REG_DWORD_BIG_ENDIAN, 0x7F};
        for (int i = 0; i < 32; ++i) {
            std::string bytes(i == 0 ? 65536 : random() % 300, '\0');
            for (char& b : bytes) b = static_cast<char>(random() % 256);
            bytes += 'G';  // no terminator counted after the data
            const std::string name = "Value" + std::to_string(i);
            ASSERT_EQ(
                ::RegSetValueExA(key.get(), name.c_str(), 0, types[i % std::size(types)],
                                 reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size() - 1)),
                ERROR_SUCCESS);
        }
    }
    const TaggedValue emptyText{std::wstring()};
    const auto everyOperation = [&] {
        for (int i = 0; i < 32; ++i) {
            cRegistry registry;
            registry.SetClassKey(HKEY_CURRENT_USER);
            registry.SetSectionKey(kKey);
            registry.SetValueKey(L"Value" + std::to_wstring(i));
            registry.SetDefault(emptyText);
            const TaggedValue value = registry.Value();
            registry.SetValueKey(L"Copy" + std::to_wstring(i));
            // Under the type just read, which not every type allows; the
            // copy is gone again afterwards, or was never written.
            try {
                registry.SetValue(value);
                registry.DeleteValue();
            } catch (const RaisedError&) {
            }
            registry.KeyExists();
        }
        // The version page's own read, on the machine's key.
        cRegistry version;
        version.SetClassKey(HKEY_LOCAL_MACHINE);
        version.SetSectionKey(L"Software\\Microsoft\\DataAccess");
        version.SetValueKey(L"FullInstallVer");
        version.SetValueType(REG_SZ);
        version.SetDefault(emptyText);
        version.Value();
    };
    everyOperation();  // warm-up
    const Snapshot before = Take(false);
    for (int round = 0; round < 10; ++round) everyOperation();
    const Snapshot after = Take(false);
    ExpectNoGrowth("10 rounds of reading, writing and deleting 32 bad values", before, after);
}

}  // namespace
