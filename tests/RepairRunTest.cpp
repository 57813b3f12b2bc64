// The repair run through the real window, pressed with the real mouse: what
// the user sees while it runs, which DLLs it registers in which order, how the
// page looks afterwards, and that a real component's registration comes back.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/FixtureFiles.h"
#include "winsupport/Waits.h"
#include "tests/VersionPageTexts.h"
#include "tests/WizardHarness.h"
#include "winsupport/TextCodec.h"

namespace {

using harness::Localized;
using harness::WindowText;

constexpr size_t kCatalogueSize = 31;

// ---- what the user sees while the run goes on ------------------------------------------

struct Sample {
    std::wstring status;  // Label2
    bool statusShown;
    int position;
    int low, high;
    bool nextEnabled, backEnabled, cancelEnabled;
    bool repairButtonShown;
    bool progressShown, animationShown;
    std::wstring heading;  // Label1
    bool running;          // RepairDone not yet set
};

// The thread timer's procedure has no context; one sampler runs at a time.
class Sampler;
Sampler* g_sampler = nullptr;

class Sampler {
public:
    explicit Sampler(frmMain& form) : form_(form) {
        g_sampler = this;
        timer_ = ::SetTimer(nullptr, 0, 10, &Sampler::Tick);
    }
    ~Sampler() {
        ::KillTimer(nullptr, timer_);
        g_sampler = nullptr;
    }
    Sampler(const Sampler&) = delete;
    Sampler& operator=(const Sampler&) = delete;
    bool Running() const { return timer_ != 0; }
    const std::vector<Sample>& Samples() const { return samples_; }

private:
    static bool Shown(HWND control) { return (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (g_sampler == nullptr || !g_sampler->form_.IsLoaded()) return;
        frmMain& form = g_sampler->form_;
        HWND progress = form.Control(ProgressBar1);
        PBRANGE range{};
        ::SendMessageW(progress, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        g_sampler->samples_.push_back(
            {WindowText(form.Control(Label2)), Shown(form.Control(Label2)),
             static_cast<int>(::SendMessageW(progress, PBM_GETPOS, 0, 0)), range.iLow, range.iHigh,
             ::IsWindowEnabled(form.Control(cmdWeiter)) != FALSE, ::IsWindowEnabled(form.Control(cmdZurück)) != FALSE,
             ::IsWindowEnabled(form.Control(cmdAbbrechen)) != FALSE, Shown(form.Control(cmdRepairMDAC)),
             Shown(progress), Shown(form.Control(imgRepairing)), WindowText(form.Control(Label1)), !form.RepairDone});
    }
    frmMain& form_;
    UINT_PTR timer_ = 0;
    std::vector<Sample> samples_;
};

std::wstring StatusOf(const std::wstring& path) {
    return Localized(L"Processing " + path + L"...", L"Verarbeite " + path + L"...");
}

bool IsStatus(const std::wstring& text) {
    return text.rfind(Localized(L"Processing ", L"Verarbeite "), 0) == 0;
}

// ---- the fixture -------------------------------------------------------------------------

class RepairRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(fixtures::CommonFilesDirectory().empty());
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
        log_ = scratch_ + L"\\registrations.log";
        ASSERT_TRUE(::SetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", log_.c_str()));
    }
    void TearDown() override {
        form.reset();
        ::SetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", nullptr);
        EXPECT_TRUE(changes_.Restore()) << "the prefix's component files are not all back";
        fixtures::RemoveTree(scratch_);
    }
    HWND C(ControlId id) const { return form->Control(id); }
    bool Shown(ControlId id) const { return (::GetWindowLongW(C(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    void Click(ControlId id) {
        harness::ClickWithMouse(C(id));
        harness::Pump(*form, 60);
    }
    // Opens the window, goes to the repair page and runs the repair there,
    // sampling the page meanwhile.
    void RunRepairThroughTheWindow(std::vector<Sample>& samples) {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
        Click(cmdWeiter);
        Click(cmdWeiter);
        ASSERT_EQ(form->WizardStep, 3);
        ASSERT_EQ(harness::FrontPage(*form), pic3);
        ASSERT_EQ(form->ComponentFiles.size(), kCatalogueSize);
        ASSERT_FALSE(form->RepairDone);

        Sampler sampler(*form);
        ASSERT_TRUE(sampler.Running());
        const DWORD start = ::GetTickCount();
        harness::ClickWithMouse(C(cmdRepairMDAC));
        ASSERT_TRUE(harness::PumpUntil(
            *form, [&] { return form->RepairDone; }, 30000))
            << "the run did not end";
        runMilliseconds_ = ::GetTickCount() - start;
        samples = sampler.Samples();
    }
    // The end state of the page after a run.
    void ExpectFinishedPage() {
        EXPECT_TRUE(form->RepairDone);
        EXPECT_EQ(WindowText(C(Label1)),
                  Localized(L"Verifying and repairing the MDAC files has finished!\n\nPlease check whether your "
                            L"problematic program seems to work correctly now.",
                            L"\u00dcberpr\u00fcfung und Reparatur der MDAC-Dateien abgeschlossen!\n\nPr\u00fcfen Sie, "
                            L"ob Ihre problematische Anwendung jetzt funktioniert."));
        const struct {
            ControlId id;
            const char* name;
            bool shown;
        } visibility[] = {
            {Label2, "Label2", false},
            {ProgressBar1, "ProgressBar1", false},
            {imgRepairing, "imgRepairing", false},
            {cmdRepairMDAC, "cmdRepairMDAC", false},
            {Label16, "Label16", true},
            {optResolved, "optResolved", true},
            {optFurtherProblems, "optFurtherProblems", true},
        };
        for (const auto& v : visibility) EXPECT_EQ(Shown(v.id), v.shown) << v.name;
        EXPECT_TRUE(::IsWindowEnabled(C(cmdWeiter))) << "Next";
        EXPECT_TRUE(::IsWindowEnabled(C(cmdZurück))) << "Back";
        EXPECT_TRUE(::IsWindowEnabled(C(cmdAbbrechen))) << "Cancel";
        EXPECT_EQ(::GetFocus(), C(cmdWeiter)) << "the focus is not on Next";
        EXPECT_EQ(harness::FrontPage(*form), pic3);
        EXPECT_EQ(form->WizardStep, 3);
    }
    // Log lines as the long paths of the registered files.
    std::vector<std::wstring> Registered() const {
        std::vector<std::wstring> paths;
        for (const std::string& line : fixtures::ReadLines(log_)) paths.push_back(fixtures::LongPath(FromAnsi(line)));
        return paths;
    }

    std::unique_ptr<frmMain> form;
    std::wstring scratch_;
    std::wstring log_;
    fixtures::PrefixChanges changes_;
    DWORD runMilliseconds_ = 0;
};

// The distinct status lines in the order they were seen.
std::vector<std::wstring> StatusSequence(const std::vector<Sample>& samples) {
    std::vector<std::wstring> sequence;
    for (const Sample& s : samples)
        if (s.running && IsStatus(s.status) && (sequence.empty() || sequence.back() != s.status))
            sequence.push_back(s.status);
    return sequence;
}

TEST_F(RepairRun, RegistersAllButTheMarkedFilesInOrderWhileShowingItsProgress) {
    const auto& catalogue = fixtures::ExpectedCatalogue();
    ASSERT_EQ(catalogue.size(), kCatalogueSize);
    const fixtures::NativeDllOverrides overrides(fixtures::CatalogueFileNames());
    ASSERT_TRUE(overrides.Applied());
    const std::wstring stamped = scratch_ + L"\\component.dll";
    ASSERT_TRUE(fixtures::InstallStandIn(stamped, 2, 81, 1117, 0));
    for (const auto& file : catalogue) ASSERT_TRUE(changes_.Place(stamped, fixtures::CataloguePath(file)));

    std::vector<Sample> samples;
    const unsigned long pauses = PausesForReader();
    ASSERT_NO_FATAL_FAILURE(RunRepairThroughTheWindow(samples));
    EXPECT_EQ(PausesForReader() - pauses, 2 * catalogue.size()) << "each entry is shown for a moment, then counted";
    std::printf("[   NOTE   ] the run took %lu ms, %zu samples\n", static_cast<unsigned long>(runMilliseconds_),
                samples.size());

    // Exactly the 24 files without the mark, in catalogue order.
    std::vector<std::wstring> expectedLog;
    for (const auto& file : catalogue)
        if (!file.skipRegistration) expectedLog.push_back(fixtures::LongPath(fixtures::CataloguePath(file)));
    ASSERT_EQ(expectedLog.size(), 24u);
    const std::vector<std::wstring> registered = Registered();
    EXPECT_EQ(registered.size(), expectedLog.size()) << "DLLs called";
    for (size_t i = 0; i < std::max(registered.size(), expectedLog.size()); ++i) {
        const std::wstring found = i < registered.size() ? registered[i] : L"(none)";
        const std::wstring expected = i < expectedLog.size() ? expectedLog[i] : L"(none)";
        EXPECT_TRUE(fixtures::SamePath(found, expected))
            << "call " << i << ": found " << ToAnsi(found) << ", expected " << ToAnsi(expected);
    }
    for (const wchar_t* jet : {L"\\msjet40.dll", L"\\msjtes40.dll", L"\\msjetoledb40.dll"}) {
        const std::wstring path = fixtures::LongPath(fixtures::SystemDirectory() + jet);
        EXPECT_TRUE(std::any_of(registered.begin(), registered.end(),
                                [&](const std::wstring& line) { return fixtures::SamePath(line, path); }))
            << ToAnsi(path) << " was not registered";
    }
    for (const auto& file : catalogue) {
        if (!file.skipRegistration) continue;
        const std::wstring path = fixtures::LongPath(fixtures::CataloguePath(file));
        EXPECT_FALSE(std::any_of(registered.begin(), registered.end(),
                                 [&](const std::wstring& line) { return fixtures::SamePath(line, path); }))
            << ToAnsi(path) << " is marked to be skipped but was registered";
    }

    // Every entry, skipped ones too, had its status line, in catalogue order.
    std::vector<std::wstring> expectedStatus;
    expectedStatus.reserve(catalogue.size());
    for (const auto& file : catalogue) expectedStatus.push_back(StatusOf(fixtures::CataloguePath(file)));
    const std::vector<std::wstring> statusSeen = StatusSequence(samples);
    EXPECT_EQ(statusSeen.size(), expectedStatus.size()) << "status lines seen";
    for (size_t i = 0; i < std::max(statusSeen.size(), expectedStatus.size()); ++i) {
        const std::wstring found = i < statusSeen.size() ? statusSeen[i] : L"(none)";
        const std::wstring expected = i < expectedStatus.size() ? expectedStatus[i] : L"(none)";
        EXPECT_EQ(found, expected) << "status " << i << ": found " << ToAnsi(found) << ", expected "
                                   << ToAnsi(expected);
    }
    ASSERT_FALSE(statusSeen.empty());
    EXPECT_EQ(statusSeen.front(), Localized(L"Processing ", L"Verarbeite ") + fixtures::CommonFilesDirectory() +
                                      L"\\System\\ado\\MSADO15.DLL...");

    // The bar: range 0..31; each entry's status comes with its own step.
    int lastPosition = 0;
    int highest = 0;
    for (const Sample& s : samples) {
        if (!s.running || !IsStatus(s.status)) continue;
        SCOPED_TRACE(ToAnsi(s.status));
        EXPECT_EQ(s.low, 0);
        EXPECT_EQ(s.high, 31) << "progress range maximum";
        EXPECT_GE(s.position, lastPosition) << "the bar went back";
        lastPosition = s.position;
        highest = std::max(highest, s.position);
        for (size_t i = 0; i < expectedStatus.size(); ++i) {
            if (s.status == expectedStatus[i]) {
                EXPECT_EQ(s.position, static_cast<int>(i + 1)) << "position";
            }
        }
        // Meanwhile the buttons rest and the status line shows.
        EXPECT_TRUE(s.statusShown);
        EXPECT_FALSE(s.nextEnabled);
        EXPECT_FALSE(s.backEnabled);
        EXPECT_FALSE(s.cancelEnabled);
        EXPECT_FALSE(s.repairButtonShown);
        EXPECT_TRUE(s.progressShown);
        EXPECT_TRUE(s.animationShown);
        const std::wstring working = Localized(L"Verifying and repairing MDAC files...",
                                               L"MDAC-Dateien werden gepr\u00fcft und ggf. repariert...");
        EXPECT_TRUE(s.heading.size() >= working.size() &&
                    s.heading.compare(s.heading.size() - working.size(), working.size(), working) == 0)
            << "Label1 reads " << ToAnsi(s.heading);
    }
    EXPECT_EQ(highest, 31) << "the bar never got to its end";

    ExpectFinishedPage();
}

// ---- a real component under Wine -------------------------------------------------------

// A class key of the registry, copied aside and put back if it is missing.
class ClassKeyBackup {
public:
    explicit ClassKeyBackup(std::wstring clsid)
        : clsid_(std::move(clsid)), backup_(L"Software\\WizardTestBackup\\" + clsid_) {
        HKEY source = nullptr;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid_).c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS)
            return;
        UniqueHkey ownedSource(source);
        HKEY target = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, backup_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target,
                              nullptr) != ERROR_SUCCESS)
            return;
        UniqueHkey ownedTarget(target);
        saved_ = ::RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
    }
    ~ClassKeyBackup() {
        if (saved_ && !Exists(clsid_)) {
            HKEY source = nullptr;
            HKEY target = nullptr;
            if (::RegOpenKeyExW(HKEY_CURRENT_USER, backup_.c_str(), 0, KEY_READ, &source) == ERROR_SUCCESS) {
                UniqueHkey ownedSource(source);
                if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &target, nullptr) == ERROR_SUCCESS) {
                    UniqueHkey ownedTarget(target);
                    ::RegCopyTreeW(source, nullptr, target);
                }
            }
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WizardTestBackup");
    }
    ClassKeyBackup(const ClassKeyBackup&) = delete;
    ClassKeyBackup& operator=(const ClassKeyBackup&) = delete;
    bool Saved() const { return saved_; }

    static bool Exists(const std::wstring& clsid) {
        HKEY key = nullptr;
        const bool exists =
            ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        UniqueHkey owned(key);
        return exists;
    }

private:
    std::wstring clsid_;
    std::wstring backup_;
    bool saved_ = false;
};

// A run registers the components by their short paths, so their class keys
// name the short forms afterwards; the prefix had registered them by their
// long paths. Registering them once more that way puts the keys back.
class LongFormRegistration {
public:
    LongFormRegistration() = default;
    ~LongFormRegistration() {
        using EntryPoint = HRESULT(WINAPI*)();
        for (const std::wstring& path : paths_) {
            UniqueModule module(::LoadLibraryW(path.c_str()));
            const FARPROC address = module ? ::GetProcAddress(module.get(), "DllRegisterServer") : nullptr;
            if (address != nullptr) reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(address))();
        }
    }
    LongFormRegistration(const LongFormRegistration&) = delete;
    LongFormRegistration& operator=(const LongFormRegistration&) = delete;
    void Add(const std::wstring& path) { paths_.push_back(fixtures::LongPath(path)); }

private:
    std::vector<std::wstring> paths_;
};

// The in-process server a class key names, or empty.
std::wstring InprocServer(const std::wstring& clsid) {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid + L"\\InprocServer32").c_str(), nullptr,
                       RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &bytes) != ERROR_SUCCESS)
        return {};
    return value;
}

bool NamesFile(const std::wstring& server, const std::wstring& fileName) {
    const size_t separator = server.find_last_of(L"\\/");
    const std::wstring name = separator == std::wstring::npos ? server : server.substr(separator + 1);
    return fixtures::SamePath(name, fileName);
}

// A class that the prefix's own OLE DB core registers for itself.
std::wstring ClassRegisteredByOledb32() {
    std::wstring preferred = L"{2206CDB0-19C1-11D1-89E0-00C04FD7A829}";
    if (NamesFile(InprocServer(preferred), L"oledb32.dll")) return preferred;
    HKEY classes = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &classes) != ERROR_SUCCESS) return {};
    UniqueHkey owned(classes);
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (::RegEnumKeyExW(classes, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (NamesFile(InprocServer(name), L"oledb32.dll")) return name;
    }
    return {};
}

TEST_F(RepairRun, BringsBackARealComponentsRegistrationAndCopesWithMissingFiles) {
    const std::wstring oledb = fixtures::CommonFilesDirectory() + L"\\System\\Ole DB\\oledb32.dll";
    if (::GetFileAttributesW(oledb.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this Wine prefix has no oledb32.dll of its own";
    const std::wstring clsid = ClassRegisteredByOledb32();
    if (clsid.empty()) GTEST_SKIP() << "no class of this prefix names oledb32.dll as its server";

    // Every stand-in away; one component present but without version information.
    const auto& catalogue = fixtures::ExpectedCatalogue();
    constexpr size_t kUnversionedRow = 7;  // MSADCE.DLL
    const std::wstring unversioned = fixtures::CataloguePath(catalogue[kUnversionedRow]);
    ASSERT_EQ(::GetFileAttributesW(unversioned.c_str()), INVALID_FILE_ATTRIBUTES) << "the prefix has its own";
    ASSERT_TRUE(fixtures::InstallUnversionedStandIn(scratch_ + L"\\unversioned.dll"));
    ASSERT_TRUE(changes_.Place(scratch_ + L"\\unversioned.dll", unversioned));

    ClassKeyBackup backup(clsid);
    ASSERT_TRUE(backup.Saved()) << "cannot back up " << ToAnsi(clsid);
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str()), ERROR_SUCCESS);
    ASSERT_FALSE(ClassKeyBackup::Exists(clsid));

    LongFormRegistration reregistration;
    std::vector<Sample> samples;
    ASSERT_NO_FATAL_FAILURE(RunRepairThroughTheWindow(samples));
    for (const ComponentFile& entry : form->ComponentFiles)
        if (!entry.SkipRegistration && entry.FilePath != pagetext::NotAvailable()) reregistration.Add(entry.FilePath);

    EXPECT_TRUE(ClassKeyBackup::Exists(clsid)) << ToAnsi(clsid) << " was not registered again";
    const std::wstring server = InprocServer(clsid);
    EXPECT_TRUE(NamesFile(server, L"oledb32.dll")) << "InprocServer32 names " << ToAnsi(server);

    // Files missing or without version information show as not available and
    // are never registered; the run still ends as usual.
    const std::vector<std::wstring> statusSeen = StatusSequence(samples);
    EXPECT_NE(std::find(statusSeen.begin(), statusSeen.end(), StatusOf(pagetext::NotAvailable())), statusSeen.end());
    EXPECT_NE(std::find(statusSeen.begin(), statusSeen.end(), StatusOf(form->ComponentFiles[17].FilePath)),
              statusSeen.end());
    EXPECT_EQ(form->ComponentFiles[17].FilePath, fixtures::CommonFilesDirectory() + L"\\System\\Ole DB\\OLEDB32.DLL");
    EXPECT_EQ(form->ComponentFiles[kUnversionedRow].FilePath, pagetext::NotAvailable());
    EXPECT_TRUE(Registered().empty()) << "the file without version information was registered";
    ExpectFinishedPage();
}

}  // namespace
