// Faulty components under the catalogue's paths during a real repair run:
// DLLs whose DllMain fails, that lack the entry point, whose entry point
// reports failure, crashes or never returns, DLLs of the other architecture
// (which the program cannot load), text files, directories, cut-short and
// locked files. The run must go on past each, end as usual, call exactly the
// entry points that can be called, in catalogue order, and afterwards list
// every registration that failed, with its reason, in one message box.
// The run registers through a process of its own with administrator rights,
// started once when the button is pressed: through the consent prompt when
// the program runs without them, which Wine cannot show (it elevates every
// process), so a test switch makes the program see itself unelevated.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/Unattended.h"
#include "tests/FixtureFiles.h"
#include "winsupport/Waits.h"
#include "tests/VersionPageTexts.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairRun.h"
#include "repair/RepairSupervisor.h"
#include "repair/modDLLRegister.h"
#include "tests/WizardHarness.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"

namespace {

using harness::Localized;
using harness::WindowText;

constexpr wchar_t kDllMainNote[] = L" DllMain failed";
constexpr wchar_t kLoadNote[] = L" loaded";

enum class Component {
    Working,            // the stand-in: registers
    ReportsFailure,     // DllRegisterServer returns E_FAIL: called all the same
    DllMainFails,       // cannot be loaded: its DllMain refuses
    NoEntryPoint,       // loads, nothing to call
    OtherArchitecture,  // a DLL built for the other architecture: cannot be loaded
    TextFile,           // no program at all, no version
    Directory,          // a directory with the file's name
    CutShort,           // the first half of the stand-in: cannot be loaded, its version may be readable
    Locked,             // held open without sharing by another process
    Crashes,            // DllRegisterServer writes through a null pointer
    Hangs,              // DllRegisterServer never returns
    ChangesLocale,      // registers, and switches its process's C library to German numbers
    WritesNothing,      // DllRegisterServer returns S_OK and registers no class
    AccessDenied,       // DllRegisterServer refuses with E_ACCESSDENIED, as for a protected file
    RecordsLoad,        // registers, and notes every load into a process
};

// Long enough for the 32-bit worker to start under emulation, short enough to wait for.
constexpr DWORD kTestTimeLimit = 4000;

const char* Name(Component c) {
    switch (c) {
        case Component::Working:
            return "working";
        case Component::ReportsFailure:
            return "reports failure";
        case Component::DllMainFails:
            return "DllMain fails";
        case Component::NoEntryPoint:
            return "no entry point";
        case Component::OtherArchitecture:
            return "other architecture";
        case Component::TextFile:
            return "text file";
        case Component::Directory:
            return "directory";
        case Component::CutShort:
            return "cut short";
        case Component::Locked:
            return "locked";
        case Component::Crashes:
            return "crashes";
        case Component::Hangs:
            return "hangs";
        case Component::ChangesLocale:
            return "changes the locale";
        case Component::WritesNothing:
            return "writes nothing";
        case Component::AccessDenied:
            return "access denied";
        case Component::RecordsLoad:
            return "records load";
    }
    return "?";
}

// The built file behind each kind that is a copy of one.
const char* BuiltVariable(Component c) {
    switch (c) {
        case Component::Working:
        case Component::CutShort:
        case Component::Locked:
            return "WIZARD_STAND_IN";
        case Component::ReportsFailure:
            return "WIZARD_STAND_IN_FAILING";
        case Component::DllMainFails:
            return "WIZARD_STAND_IN_DLLMAIN_FAILS";
        case Component::NoEntryPoint:
            return "WIZARD_STAND_IN_NO_EXPORT";
        case Component::OtherArchitecture:
            return "WIZARD_STAND_IN_OTHER_ARCH";
        case Component::Crashes:
            return "WIZARD_STAND_IN_CRASHES";
        case Component::Hangs:
            return "WIZARD_STAND_IN_HANGS";
        case Component::ChangesLocale:
            return "WIZARD_STAND_IN_CHANGES_LOCALE";
        case Component::WritesNothing:
            return "WIZARD_STAND_IN_WRITES_NOTHING";
        case Component::AccessDenied:
            return "WIZARD_STAND_IN_ACCESS_DENIED";
        case Component::RecordsLoad:
            return "WIZARD_STAND_IN_PLANTED";
        default:
            return nullptr;
    }
}

// Rows whose file name Wine also has as a built-in DLL. A file there that
// fails to load could make Wine load its own instead and register that, so
// those rows get faults that load.
bool HasBuiltInTwin(size_t row) {
    return row == 0 || row == 17 || row == 22 || row == 25;
}

// Every start of the supervisor: its verb ("runas" or none) and parameters.
struct Launch {
    std::wstring verb;
    std::wstring parameters;
};
std::vector<Launch> g_launches;
void RecordLaunch(const std::wstring& verb, const std::wstring& parameters) {
    g_launches.push_back({verb, parameters});
}
ElevationSeam Seam(bool notElevated, unsigned long launchError = ERROR_SUCCESS) {
    return {notElevated, launchError, &RecordLaunch};
}

std::wstring FromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                          wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

// The repair button's shields, as it is given them: BCM_SETSHIELD has no getter.
LRESULT CALLBACK NoteShield(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR shields) {
    if (message == BCM_SETSHIELD) reinterpret_cast<std::vector<LPARAM>*>(shields)->push_back(lParam);
    return ::DefSubclassProc(window, message, wParam, lParam);
}

class BadComponents : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string profile = harness::Profile();
        if (!profile.empty() && profile != "en" && profile != "de")
            GTEST_SKIP() << "components do not depend on the Windows version or the screen: run in en and de";
        ASSERT_FALSE(fixtures::CommonFilesDirectory().empty());
        if (fixtures::BuiltFile("WIZARD_STAND_IN_OTHER_ARCH").empty())
            GTEST_SKIP() << "no stand-in of the other architecture was built (its compiler is missing)";
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
        log_ = scratch_ + L"\\registrations.log";
        ASSERT_TRUE(::SetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", log_.c_str()));
        overrides_ = std::make_unique<fixtures::NativeDllOverrides>(fixtures::CatalogueFileNames());
        ASSERT_TRUE(overrides_->Applied());
        SetRegistrationTimeLimit(kTestTimeLimit);
        g_launches.clear();
        SetElevationSeam(Seam(false));
    }
    void TearDown() override {
        SetRegistrationTimeLimit(timeLimit_);
        SetFileProtectionQuery(nullptr);
        SetElevationSeam({});
        form.reset();
        locks_.clear();
        for (auto it = directories_.rbegin(); it != directories_.rend(); ++it) ::RemoveDirectoryW(it->c_str());
        ::SetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", nullptr);
        EXPECT_TRUE(changes_.Restore()) << "the prefix's component files are not all back";
        overrides_.reset();
        if (!scratch_.empty()) fixtures::RemoveTree(scratch_);
    }

    // A file of the kind, made once in the scratch directory and stamped 2.81.<row>.
    void Install(Component kind, size_t row) {
        const std::wstring target = fixtures::CataloguePath(fixtures::ExpectedCatalogue()[row]);
        ASSERT_TRUE(changes_.Remove(target)) << ToAnsi(target);
        if (kind == Component::Directory) {
            // Placing a file first makes the missing parents, which go again on Restore.
            ASSERT_TRUE(changes_.Place(fixtures::BuiltFile("WIZARD_STAND_IN"), target)) << ToAnsi(target);
            fixtures::RemoveFile(target);
            ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr)) << ToAnsi(target);
            directories_.push_back(target);
            return;
        }
        const std::wstring source = scratch_ + L"\\row" + std::to_wstring(row) + L".dll";
        if (kind == Component::TextFile) {
            ASSERT_TRUE(fixtures::WriteBytes(source, "This is no program, only text.\r\n"));
        } else {
            ASSERT_TRUE(fixtures::InstallVariant(BuiltVariable(kind), source)) << BuiltVariable(kind);
            ASSERT_TRUE(fixtures::StampVersion(source, 2, 81, static_cast<WORD>(row), 0)) << Name(kind);
            if (kind == Component::CutShort) {
                ASSERT_TRUE(CutToHalf(source));
            }
        }
        ASSERT_TRUE(changes_.Place(source, target)) << ToAnsi(target);
        if (kind == Component::Locked) {
            locks_.push_back(std::make_unique<fixtures::LockedFile>(target));
            ASSERT_TRUE(locks_.back()->Held()) << "cannot lock " << ToAnsi(target);
        }
    }

    static bool CutToHalf(const std::wstring& path) {
        HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (raw == INVALID_HANDLE_VALUE) return false;
        const UniqueKernelHandle file(raw);
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file.get(), &size)) return false;
        size.QuadPart /= 2;
        return ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
    }

    // Opens the window on the repair page.
    void OpenRepairPage(harness::MessageBoxWatcher& boxes) {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        ASSERT_TRUE(
            ::SetWindowSubclass(form->Control(cmdRepairMDAC), &NoteShield, 0, reinterpret_cast<DWORD_PTR>(&shields_)));
        form->Show();
        harness::Pump(*form, 30);
        for (int step = 1; step < 3; ++step) {
            harness::ClickWithMouse(form->Control(cmdWeiter));
            ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == step + 1; }));
        }
        harness::Pump(*form, 30);
        ASSERT_FALSE(boxes.Seen()) << "a message before the run: " << ToAnsi(boxes.Text());
    }

    // Opens the window and runs the repair on its page.
    void RunRepair(harness::MessageBoxWatcher& boxes) {
        ASSERT_NO_FATAL_FAILURE(OpenRepairPage(boxes));
        harness::ClickWithMouse(form->Control(cmdRepairMDAC));
        ASSERT_TRUE(harness::PumpUntil(
            *form, [&] { return form->RepairDone; }, 30000))
            << "the run did not end";
        harness::Pump(*form, 50);
    }

    // The log's lines as long paths, a DllMain or load note kept after its path.
    std::vector<std::wstring> Logged() const {
        std::vector<std::wstring> lines;
        for (const std::string& raw : fixtures::ReadLines(log_)) {
            std::wstring line = FromAnsi(raw);
            std::wstring note;
            for (const wchar_t* known : {kDllMainNote, kLoadNote}) {
                const size_t at = line.find(known);
                if (at == std::wstring::npos) continue;
                note = line.substr(at);
                line.resize(at);
            }
            lines.push_back(fixtures::LongPath(line) + note);
        }
        return lines;
    }

    void ExpectRunEndedNormally() {
        EXPECT_TRUE(form->RepairDone);
        EXPECT_EQ(form->WizardStep, 3);
        EXPECT_EQ(harness::FrontPage(*form), pic3);
        for (const ControlId button : {cmdWeiter, cmdZurück, cmdAbbrechen})
            EXPECT_TRUE(::IsWindowEnabled(form->Control(button))) << "button " << button << " stays disabled";
        const auto shown = [&](ControlId id) {
            return (::GetWindowLongW(form->Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
        };
        EXPECT_TRUE(shown(optResolved));
        EXPECT_TRUE(shown(optFurtherProblems));
        EXPECT_FALSE(shown(ProgressBar1));
        EXPECT_EQ(WindowText(form->Control(Label1)),
                  Localized(L"Verifying and repairing the MDAC files has finished!\n\nPlease check whether your "
                            L"problematic program seems to work correctly now.",
                            L"\u00dcberpr\u00fcfung und Reparatur der MDAC-Dateien abgeschlossen!\n\nPr\u00fcfen Sie, "
                            L"ob Ihre problematische Anwendung jetzt funktioniert."));
    }

    // What the log must hold for the components in catalogue order.
    static std::vector<std::wstring> ExpectedLog(const std::vector<Component>& rows) {
        const auto& catalogue = fixtures::ExpectedCatalogue();
        std::vector<std::wstring> expected;
        for (size_t row = 0; row < rows.size(); ++row) {
            if (catalogue[row].skipRegistration) continue;
            const std::wstring path = fixtures::LongPath(fixtures::CataloguePath(catalogue[row]));
            if (rows[row] == Component::Working || rows[row] == Component::ReportsFailure ||
                rows[row] == Component::Crashes || rows[row] == Component::Hangs ||
                rows[row] == Component::ChangesLocale || rows[row] == Component::WritesNothing ||
                rows[row] == Component::AccessDenied)
                expected.push_back(path);
            if (rows[row] == Component::DllMainFails) expected.push_back(path + kDllMainNote);
        }
        return expected;
    }

    void ExpectLog(const std::vector<Component>& rows) {
        const std::vector<std::wstring> found = Logged();
        const std::vector<std::wstring> expected = ExpectedLog(rows);
        EXPECT_EQ(found.size(), expected.size()) << "lines in the log";
        for (size_t i = 0; i < std::max(found.size(), expected.size()); ++i) {
            const std::wstring f = i < found.size() ? found[i] : L"(none)";
            const std::wstring e = i < expected.size() ? expected[i] : L"(none)";
            EXPECT_TRUE(fixtures::SamePath(f, e))
                << "line " << i << ": found " << ToAnsi(f) << ", expected " << ToAnsi(e);
        }
    }

    // What the catalogue must say about each row's file.
    void ExpectCatalogue(const std::vector<Component>& rows) {
        const auto& catalogue = fixtures::ExpectedCatalogue();
        ASSERT_EQ(form->ComponentFiles.size(), catalogue.size());
        for (size_t row = 0; row < rows.size(); ++row) {
            const ComponentFile& entry = form->ComponentFiles[row];
            const std::wstring path = fixtures::CataloguePath(catalogue[row]);
            SCOPED_TRACE("row " + std::to_string(row) + " (" + Name(rows[row]) + ")");
            const bool unreadable =
                rows[row] == Component::TextFile || rows[row] == Component::Directory || rows[row] == Component::Locked;
            if (unreadable) {
                EXPECT_EQ(entry.FilePath, pagetext::NotAvailable()) << "found " << ToAnsi(entry.FilePath);
                EXPECT_EQ(entry.FileVersion, L"N/A");
            } else if (rows[row] == Component::CutShort) {
                const bool notAvailable = entry.FilePath == pagetext::NotAvailable() && entry.FileVersion == L"N/A";
                const bool read = entry.FilePath == path && entry.FileVersion == L"2.81." + std::to_wstring(row);
                EXPECT_TRUE(notAvailable || read)
                    << "found " << ToAnsi(entry.FilePath) << ", version " << ToAnsi(entry.FileVersion);
            } else {
                EXPECT_EQ(entry.FilePath, path) << "found " << ToAnsi(entry.FilePath);
                EXPECT_EQ(entry.FileVersion, L"2.81." + std::to_wstring(row));
            }
        }
    }

    // The box after the run: one paragraph per failed registration, in
    // catalogue order, each the file's message, then the reason with its code.
    void ExpectReport(const std::vector<Component>& rows, const harness::MessageBoxWatcher& boxes) {
        struct Expected {
            std::wstring firstLine;
            std::wstring code;  // "(0x...)", or the seconds of a hang
        };
        const auto& catalogue = fixtures::ExpectedCatalogue();
        std::vector<Expected> expected;
        for (size_t row = 0; row < rows.size(); ++row) {
            std::wstring code;
            switch (rows[row]) {
                case Component::ReportsFailure:
                    code = L"(0x80004005)";
                    break;
                case Component::AccessDenied:
                    code = L"(0x80070005)";
                    break;
                case Component::DllMainFails:
                    code = L"(0x0000045A)";
                    break;
                case Component::NoEntryPoint:
                    code = L"(0x0000007F)";
                    break;
                case Component::OtherArchitecture:
                    code = L"(0x000000C1)";
                    break;
                case Component::Crashes:
                    code = L"(0xC0000005)";
                    break;
                case Component::Hangs:
                    code = L"4";
                    break;
                case Component::CutShort:
                    // Listed when its version could be read; the loader refuses it.
                    if (form->ComponentFiles[row].FileVersion != L"N/A") code = L"(0x";
                    break;
                default:
                    break;
            }
            if (code.empty() || catalogue[row].skipRegistration) continue;
            const std::wstring path = fixtures::CataloguePath(catalogue[row]);
            const std::wstring name = path.substr(path.rfind(L'\\') + 1);
            expected.push_back({Localized(L"The file " + name + L" could not be registered properly.",
                                          L"Die Datei " + name + L" konnte nicht registriert werden."),
                                code});
        }
        if (expected.empty()) {
            EXPECT_FALSE(boxes.Seen()) << "the run reported: " << ToAnsi(boxes.Text());
            return;
        }
        EXPECT_EQ(boxes.Count(), 1) << "message boxes after the run";
        EXPECT_EQ(boxes.Caption(),
                  Localized(L"MDAC Analysis and Repair Program", L"MDAC-Analyse und Reparaturprogramm"));
        EXPECT_FALSE(boxes.HadInformationIcon());
        // The classes left broken follow the files; their own test reads them.
        std::vector<std::wstring> paragraphs;
        const std::wstring text = boxes.Text();
        for (const std::wstring& paragraph : Paragraphs(text)) {
            if (paragraph.rfind(ClassParagraphStart(), 0) != 0 && paragraph != ProtectedParagraph())
                paragraphs.push_back(paragraph);
        }
        ASSERT_EQ(paragraphs.size(), expected.size()) << ToAnsi(text);
        for (size_t i = 0; i < expected.size(); ++i) {
            const std::wstring& paragraph = paragraphs[i];
            const size_t lineEnd = std::min(paragraph.find(L'\n'), paragraph.size());
            const std::wstring reason = paragraph.substr(std::min(lineEnd + 1, paragraph.size()));
            const std::wstring& code = expected[i].code;
            EXPECT_EQ(paragraph.substr(0, lineEnd), expected[i].firstLine) << ToAnsi(paragraph);
            if (code == L"4") {
                EXPECT_EQ(reason, Localized(L"The registration did not finish within 4 seconds.",
                                            L"Die Registrierung wurde nicht innerhalb von 4 Sekunden abgeschlossen."));
                continue;
            }
            // 32-bit Wine under QEMU's user-mode emulation reports every
            // access violation as an illegal instruction: it is not told the
            // processor's trap number.
            const bool emulatedCrash =
                sizeof(void*) == 4 && code == L"(0xC0000005)" && reason.find(L"(0xC000001D)") != std::wstring::npos;
            if (emulatedCrash) continue;
            const size_t at = reason.find(code);
            EXPECT_NE(at, std::wstring::npos) << ToAnsi(paragraph);
            EXPECT_GT(at, 0u) << "no reason before the code: " << ToAnsi(paragraph);
            EXPECT_EQ(reason.find(L"%1"), std::wstring::npos) << "an unfilled insert: " << ToAnsi(paragraph);
        }
    }

    static std::vector<std::wstring> Paragraphs(const std::wstring& text) {
        std::vector<std::wstring> paragraphs;
        for (size_t start = 0; start <= text.size();) {
            const size_t end = std::min(text.find(L"\n\n", start), text.size());
            paragraphs.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return paragraphs;
    }
    static std::wstring ClassParagraphStart() {
        return Localized(L"Database programs cannot use the data-access class ",
                         L"Datenbankprogramme k\u00f6nnen die Datenzugriffsklasse ");
    }
    static std::wstring ProtectedParagraph() {
        return Localized(
            L"Windows protects these files and restores them itself. Start a command prompt as "
            L"administrator and run sfc /scannow there; on Windows 8 and later, run DISM /Online "
            L"/Cleanup-Image /RestoreHealth first.",
            L"Windows sch\u00fctzt diese Dateien und stellt sie selbst wieder her. \u00d6ffnen Sie eine "
            L"Eingabeaufforderung als Administrator und f\u00fchren Sie dort sfc /scannow aus; unter "
            L"Windows 8 und neuer vorher DISM /Online /Cleanup-Image /RestoreHealth.");
    }

    std::unique_ptr<frmMain> form;
    std::vector<LPARAM> shields_;
    const DWORD timeLimit_ = RegistrationTimeLimit();  // restored also after a skip
    std::wstring scratch_;
    std::wstring log_;
    fixtures::PrefixChanges changes_;
    std::unique_ptr<fixtures::NativeDllOverrides> overrides_;
    std::vector<std::unique_ptr<fixtures::LockedFile>> locks_;
    std::vector<std::wstring> directories_;
};

TEST_F(BadComponents, ARunGoesOnPastEveryKindOfFaultyComponent) {
    // Every faulty kind among working components, on rows that are registered.
    std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::Working);
    rows[0] = Component::TextFile;  // MSADO15.DLL
    rows[2] = Component::DllMainFails;
    rows[3] = Component::NoEntryPoint;
    rows[4] = Component::ReportsFailure;
    rows[5] = Component::OtherArchitecture;
    rows[7] = Component::Directory;
    rows[9] = Component::CutShort;
    rows[11] = Component::Locked;
    rows[14] = Component::Crashes;        // MSADDS.DLL
    rows[16] = Component::Hangs;          // MSDAPRST.DLL
    rows[17] = Component::NoEntryPoint;   // OLEDB32.DLL
    rows[18] = Component::ChangesLocale;  // MSXACTPS.DLL
    rows[21] = Component::OtherArchitecture;
    rows[28] = Component::ReportsFailure;  // msjet40.dll
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));

    harness::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(RunRepair(boxes));
    ExpectRunEndedNormally();
    ExpectCatalogue(rows);
    ExpectLog(rows);
    ExpectReport(rows, boxes);
    // What a component does to its process stays there.
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    const std::wstring changesLocale = scratch_ + L"\\locale.dll";
    ASSERT_TRUE(fixtures::InstallVariant("WIZARD_STAND_IN_CHANGES_LOCALE", changesLocale));
    ::RegisterDll(ToAnsi(changesLocale), "DllRegisterServer", L"locale.dll");
    EXPECT_STRNE(std::setlocale(LC_ALL, nullptr), "C") << "the component did not change the locale of its process";
    static_cast<void>(std::setlocale(LC_ALL, "C"));
    std::printf("[   NOTE   ] one run over %zu components: %zu entry points called or refused as expected\n",
                rows.size(), ExpectedLog(rows).size());
    // Elevated already (Wine's every process is): no shield, and no prompt
    // for the process that registered, even after a crash and a hang.
    EXPECT_EQ(shields_, std::vector<LPARAM>{FALSE});
    ASSERT_EQ(g_launches.size(), 1u);
    EXPECT_EQ(g_launches[0].verb, L"");
}

TEST_F(BadComponents, ARunWhereNoComponentCanBeRegisteredEndsAsUsual) {
    const Component faulty[] = {Component::DllMainFails, Component::NoEntryPoint, Component::OtherArchitecture,
                                Component::TextFile, Component::Directory};
    std::vector<Component> rows;
    for (size_t row = 0; row < fixtures::ExpectedCatalogue().size(); ++row)
        rows.push_back(HasBuiltInTwin(row) ? Component::NoEntryPoint : faulty[row % std::size(faulty)]);
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));

    harness::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(RunRepair(boxes));
    ExpectRunEndedNormally();
    ExpectCatalogue(rows);
    ExpectLog(rows);
    ExpectReport(rows, boxes);
}

TEST_F(BadComponents, OneFailingComponentAmongWorkingOnesIsReportedAlone) {
    std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::Working);
    rows[4] = Component::ReportsFailure;  // MSADOX.DLL
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));

    harness::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(RunRepair(boxes));
    ExpectRunEndedNormally();
    ExpectLog(rows);
    ExpectReport(rows, boxes);
    // The box comes after the run's end: Next has the focus again once it is answered.
    EXPECT_EQ(::GetFocus(), form->Control(cmdWeiter));
}

TEST_F(BadComponents, TheBoxNamesClassesLeftUnusableAndSaysWhatToDoAboutProtectedFiles) {
    std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::Working);
    rows[6] = Component::AccessDenied;    // MSJRO.DLL: JRO.JetEngine
    rows[23] = Component::WritesNothing;  // MSDAOSP.DLL: MSDAOSP, as under the compatibility shim
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));
    // Wine protects nothing; Windows would protect MSJRO.DLL.
    const RegistrationOutcome refused{RegistrationOutcome::Kind::EntryPointFailed, 0x80070005UL};
    const std::wstring jro = fixtures::CataloguePath(fixtures::ExpectedCatalogue()[6]);
    EXPECT_FALSE(IsRefusedAsProtected(refused, jro));
    SetFileProtectionQuery(
        [](const std::wstring& path) { return path.size() >= 9 && path.substr(path.size() - 9) == L"MSJRO.DLL"; });

    harness::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(RunRepair(boxes));
    ExpectRunEndedNormally();
    ExpectLog(rows);
    ASSERT_EQ(boxes.Count(), 1);
    const std::vector<std::wstring> paragraphs = Paragraphs(boxes.Text());
    ASSERT_EQ(paragraphs.size(), 4u) << ToAnsi(boxes.Text());
    EXPECT_EQ(paragraphs[0].rfind(Localized(L"The file MSJRO.DLL could not be registered properly.\n",
                                            L"Die Datei MSJRO.DLL konnte nicht registriert werden.\n"),
                                  0),
              0u)
        << ToAnsi(paragraphs[0]);
    EXPECT_NE(paragraphs[0].find(L"(0x80070005)"), std::wstring::npos) << ToAnsi(paragraphs[0]);
    // Neither DllRegisterServer wrote its class: a program cannot create it.
    const std::wstring notRegistered = Localized(L"The name of the class is not registered. (0x800401F3)",
                                                 L"Der Name der Klasse ist nicht registriert. (0x800401F3)");
    const auto unusable = [](const std::wstring& name) {
        return Localized(L"Database programs cannot use the data-access class " + name + L":\n",
                         L"Datenbankprogramme k\u00f6nnen die Datenzugriffsklasse " + name + L" nicht verwenden:\n");
    };
    EXPECT_EQ(paragraphs[1], unusable(L"JRO.JetEngine") + notRegistered);
    EXPECT_EQ(paragraphs[2], unusable(L"MSDAOSP") + notRegistered);
    EXPECT_EQ(paragraphs[3], ProtectedParagraph());
}

TEST_F(BadComponents, WithoutElevationTheShieldedButtonAsksOnceForTheWholeRun) {
    std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::Working);
    rows[14] = Component::Crashes;  // MSADDS.DLL
    rows[16] = Component::Hangs;    // MSDAPRST.DLL
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));
    SetElevationSeam(Seam(true));

    harness::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(RunRepair(boxes));
    EXPECT_EQ(shields_, std::vector<LPARAM>{TRUE});
    // One prompt: the supervisor restarted its worker after the crash and the hang itself.
    ASSERT_EQ(g_launches.size(), 1u);
    EXPECT_EQ(g_launches[0].verb, L"runas");
    const std::wstring expectedStart = L"/RepairSupervisor " + std::to_wstring(::GetCurrentProcessId()) + L" ";
    EXPECT_EQ(g_launches[0].parameters.rfind(expectedStart, 0), 0u) << ToAnsi(g_launches[0].parameters);
    ExpectRunEndedNormally();
    ExpectLog(rows);
    ExpectReport(rows, boxes);
}

TEST_F(BadComponents, ADeclinedPromptLeavesThePageAsItWasAndTheNextPressRepairs) {
    const std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::Working);
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));
    {
        harness::MessageBoxWatcher noBox;
        ASSERT_NO_FATAL_FAILURE(OpenRepairPage(noBox));
    }
    // What a user sees of the page: each control's visibility, state and text.
    const auto page = [this] {
        std::wstring seen;
        for (int id = 1; id < EndOfControlIds; ++id) {
            const HWND control = form->Control(static_cast<ControlId>(id));
            if (control == nullptr) continue;
            seen += std::to_wstring(id) + (::IsWindowVisible(control) ? L"v" : L"-") +
                    (::IsWindowEnabled(control) ? L"e " : L"- ") + WindowText(control) + L"\n";
        }
        return seen;
    };
    const std::wstring before = page();
    const std::wstring needsRights = Localized(
        L"The repair needs administrator rights, and Windows did not grant them. Nothing has been changed.\n\n"
        L"Click the button again and confirm the question of Windows, or ask an administrator for help.",
        L"Die Reparatur braucht Administratorrechte, und Windows hat sie nicht erteilt. Es wurde nichts "
        L"ge\u00e4ndert.\n\nKlicken Sie erneut auf die Schaltfl\u00e4che und best\u00e4tigen Sie die Frage von "
        L"Windows, oder bitten Sie einen Administrator um Hilfe.");
    // Declined, then refused for another reason, which the box adds.
    for (const unsigned long error :
         {static_cast<unsigned long>(ERROR_CANCELLED), static_cast<unsigned long>(ERROR_ACCESS_DENIED)}) {
        SCOPED_TRACE("the start fails with " + std::to_string(error));
        SetElevationSeam(Seam(true, error));
        harness::MessageBoxWatcher boxes;
        harness::ClickWithMouse(form->Control(cmdRepairMDAC));
        ASSERT_TRUE(harness::PumpUntil(
            *form, [&] { return boxes.Seen(); }, 10000));
        harness::Pump(*form, 100);
        EXPECT_EQ(boxes.Count(), 1);
        if (error == ERROR_CANCELLED) {
            EXPECT_EQ(boxes.Text(), needsRights);
        } else {
            EXPECT_EQ(boxes.Text().rfind(needsRights + L"\n\n", 0), 0u) << ToAnsi(boxes.Text());
            EXPECT_NE(boxes.Text().find(L"(0x00000005)"), std::wstring::npos) << ToAnsi(boxes.Text());
        }
        EXPECT_FALSE(form->RepairDone);
        EXPECT_EQ(page(), before);
        EXPECT_EQ(::GetFocus(), form->Control(cmdRepairMDAC));
        EXPECT_TRUE(Logged().empty()) << "registered although the start failed";
    }
    EXPECT_EQ(g_launches.size(), 2u);

    SetElevationSeam(Seam(true));
    harness::MessageBoxWatcher noBox;
    harness::ClickWithMouse(form->Control(cmdRepairMDAC));
    ASSERT_TRUE(harness::PumpUntil(
        *form, [&] { return form->RepairDone; }, 30000));
    harness::Pump(*form, 50);
    ExpectRunEndedNormally();
    ExpectLog(rows);
    EXPECT_FALSE(noBox.Seen()) << ToAnsi(noBox.Text());
}

TEST_F(BadComponents, TheSupervisorRegistersNothingButCatalogueEntriesForAnotherProcess) {
    // Every file notes each process that loads it.
    const std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::RecordsLoad);
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));
    RepairSupervisor supervisor;
    ASSERT_EQ(supervisor.Start(nullptr, false), static_cast<unsigned long>(ERROR_SUCCESS));
    ASSERT_EQ(g_launches.size(), 1u);
    const std::wstring handles = g_launches[0].parameters.substr(g_launches[0].parameters.find(L' ') + 1);

    // Past the last entry, far past it, an entry the run never registers
    // (MSADER15.DLL), an operation that does not exist, and one with no number.
    const fixtures::ProgramRun sent =
        fixtures::RunProgram(fixtures::BuiltFile("WIZARD_REQUEST_SENDER"), handles + L" 2:31 2:4294967295 2:1 77:0 x");
    ASSERT_EQ(sent.exitCode, 0u) << sent.output;
    EXPECT_EQ(sent.output, "100 87\n100 87\n100 87\n100 87\n100 87\n");
    EXPECT_TRUE(Logged().empty()) << "a component was loaded";

    // The window's own request is served as before: loaded once, called once.
    const RegistrationOutcome outcome = supervisor.Register(0, ComponentFile{});
    EXPECT_FALSE(outcome.Failed()) << static_cast<int>(outcome.kind) << " " << outcome.code;
    const std::wstring first = fixtures::LongPath(fixtures::CataloguePath(fixtures::ExpectedCatalogue()[0]));
    EXPECT_EQ(Logged(), (std::vector<std::wstring>{first + kLoadNote, first}));
}

TEST_F(BadComponents, WithoutAdministratorRightsTheUnattendedRepairRegistersNothingAndTheCheckRuns) {
    const std::vector<Component> rows(fixtures::ExpectedCatalogue().size(), Component::Working);
    for (size_t row = 0; row < rows.size(); ++row) ASSERT_NO_FATAL_FAILURE(Install(rows[row], row));
    SetElevationSeam(Seam(true));
    harness::MessageBoxWatcher boxes;

    CommandRequest repair;
    repair.mode = CommandMode::Repair;
    repair.logPath = scratch_ + L"\\repair.log";
    EXPECT_EQ(RunUnattended(repair), 740);
    const std::vector<std::string> lines = fixtures::ReadLines(repair.logPath);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("#MdacRepair\trepair\t", 0), 0u) << lines[0];
    EXPECT_EQ(FromUtf8(lines[1]),
              L"error\t" + Localized(L"The repair needs administrator rights. Start it from a "
                                     L"command prompt opened as administrator, or as SYSTEM from "
                                     L"a startup script or a distribution system. Nothing has "
                                     L"been registered.",
                                     L"Die Reparatur braucht Administratorrechte. Starten Sie sie "
                                     L"in einer als Administrator ge\u00f6ffneten "
                                     L"Eingabeaufforderung oder als SYSTEM aus einem Startskript "
                                     L"oder einem Verteilungssystem. Es wurde nichts registriert."));
    EXPECT_TRUE(Logged().empty());
    EXPECT_TRUE(g_launches.empty()) << "the unattended repair asked for rights";

    // The check only reads: the same as with the rights.
    CommandRequest check;
    check.mode = CommandMode::Check;
    check.logPath = scratch_ + L"\\check.log";
    const int code = RunUnattended(check);
    EXPECT_TRUE(code == 0 || code == 1) << code;
    const std::vector<std::string> checked = fixtures::ReadLines(check.logPath);
    ASSERT_GE(checked.size(), 3u);
    EXPECT_EQ(checked[1].rfind("MDAC\t", 0), 0u) << checked[1];
    EXPECT_EQ(std::count_if(checked.begin(), checked.end(),
                            [](const std::string& line) { return line.rfind("class\t", 0) == 0; }),
              static_cast<long>(DataAccessClasses().size()));
    EXPECT_TRUE(Logged().empty());
    EXPECT_FALSE(boxes.Seen()) << ToAnsi(boxes.Text());

    // With the rights every file is registered, and a run nobody watches
    // never pauses for a reader as the window's run does.
    SetElevationSeam(Seam(false));
    const unsigned long pauses = PausesForReader();
    EXPECT_EQ(RunUnattended(repair), 0);
    EXPECT_EQ(PausesForReader(), pauses);
    EXPECT_EQ(Logged().size(), 24u);
    EXPECT_TRUE(g_launches.empty()) << "the unattended repair started a supervisor";
    EXPECT_FALSE(boxes.Seen()) << ToAnsi(boxes.Text());
}

}  // namespace
