// Broken files where the wizard reads versions: as the Jet engine in the
// system directory (the version page) and under the component catalogue's
// paths (the catalogue and the file list). Truncated and empty files,
// directories, text, files locked by another process or by this one, and
// version resources of random bytes, with records too short, claiming more
// than they hold, without their signature or with a block length that lies.
// The wizard must show "Not available" (the list "N/A") or the version the
// file really holds, and nothing may crash. A fixed seed makes every case
// reproducible.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/FixtureFiles.h"
#include "tests/VersionPageTexts.h"
#include "tests/WizardHarness.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

using harness::Localized;
using harness::WindowText;
using pagetext::JetDescription;

constexpr std::uint32_t kSeed = 0xF11E5u;

struct Version {
    WORD major, minor, build, revision;
};

std::wstring VersionText(const Version& v) {
    return std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.build);
}

// ---- version resources ----------------------------------------------------------------------

constexpr size_t kRecordOffset = 40;  // where the fixed record starts in VersionResource's blob

void PutWord(std::vector<BYTE>& blob, size_t at, size_t value) {
    blob[at] = static_cast<BYTE>(value & 0xFF);
    blob[at + 1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

// The generator behind every random case; its fixed seed makes each reproduce.
std::mt19937 Seeded(std::uint32_t seed) {
    return std::mt19937(seed);
}

std::vector<BYTE> RandomBytes(std::mt19937& random, size_t size) {
    std::vector<BYTE> bytes(size);
    for (BYTE& b : bytes) b = static_cast<BYTE>(random() & 0xFF);
    return bytes;
}

// The root block's header and key, then the given value bytes; the header
// claims valueLength bytes of value and a block of blockLength bytes
// (0: the real length).
std::vector<BYTE> RootBlock(WORD valueLength, const std::vector<BYTE>& value, size_t blockLength = 0) {
    std::vector<BYTE> blob = fixtures::VersionResource(1, 0, 0, 0);
    blob.resize(kRecordOffset);
    blob.insert(blob.end(), value.begin(), value.end());
    PutWord(blob, 0, blockLength != 0 ? blockLength : blob.size());
    PutWord(blob, 2, valueLength);
    return blob;
}

// ---- the kinds of broken file ---------------------------------------------------------------

// What reading the file must give: not available, exactly this version, or
// either of the two (a truncated file may keep its resources).
struct Expected {
    bool notAvailable;
    bool eitherWay;
    Version version;
};
const Expected kNotAvailable{true, false, {}};
Expected Exactly(Version v) {
    return {false, false, v};
}
Expected EitherWay(Version v) {
    return {false, true, v};
}

enum class Lock { None, OtherProcess, ThisProcess };

struct BadFile {
    std::string kind;
    std::string label;
    // Makes the file at the path; false on failure.
    std::function<bool(const std::wstring& path)> make;
    Expected expected;
    Lock lock = Lock::None;
    bool directory = false;
};

const Version kStamped{4, 0, 8015, 0};

bool StandInWithResource(const std::wstring& path, const std::vector<BYTE>& blob) {
    return fixtures::InstallStandIn(path, 1, 0, 0, 0) && fixtures::StampRawVersionResource(path, blob);
}

bool Truncated(const std::wstring& path, long keep) {
    if (!fixtures::InstallStandIn(path, kStamped.major, kStamped.minor, kStamped.build, kStamped.revision))
        return false;
    HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (raw == INVALID_HANDLE_VALUE) return false;
    const UniqueKernelHandle file(raw);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return false;
    LARGE_INTEGER at{};
    at.QuadPart = keep >= 0 ? keep : size.QuadPart + keep;
    return ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

// Every kind with fixed contents.
std::vector<BadFile> HandPickedFiles() {
    std::vector<BadFile> files = {
        {"empty", "zero-length file", [](const std::wstring& p) { return fixtures::WriteBytes(p, ""); }, kNotAvailable},
        {"text", "text file", [](const std::wstring& p) { return fixtures::WriteBytes(p, "No program.\r\n"); },
         kNotAvailable},
        {"text", "MZ header only",
         [](const std::wstring& p) { return fixtures::WriteBytes(p, "MZ" + std::string(62, '\0')); }, kNotAvailable},
        {"directory", "directory named like the file", nullptr, kNotAvailable, Lock::None, true},
        {"locked", "locked by another process",
         [](const std::wstring& p) { return fixtures::InstallStandIn(p, 4, 0, 8015, 0); }, kNotAvailable,
         Lock::OtherProcess},
        {"locked", "locked by a handle of this process without sharing",
         [](const std::wstring& p) { return fixtures::InstallStandIn(p, 4, 0, 8015, 0); }, kNotAvailable,
         Lock::ThisProcess},
        {"malformed", "record of 20 bytes",
         [](const std::wstring& p) {
             const auto full = fixtures::VersionResource(4, 0, 8015, 0);
             return StandInWithResource(
                 p, RootBlock(20, std::vector<BYTE>(full.begin() + kRecordOffset, full.begin() + kRecordOffset + 20)));
         },
         kNotAvailable},
        {"malformed", "record of 51 bytes",
         [](const std::wstring& p) {
             const auto full = fixtures::VersionResource(4, 0, 8015, 0);
             return StandInWithResource(
                 p, RootBlock(51, std::vector<BYTE>(full.begin() + kRecordOffset, full.begin() + kRecordOffset + 51)));
         },
         kNotAvailable},
        {"malformed", "claims a record of 52 bytes but holds 12",
         [](const std::wstring& p) {
             const auto full = fixtures::VersionResource(4, 0, 8015, 0);
             return StandInWithResource(
                 p, RootBlock(52, std::vector<BYTE>(full.begin() + kRecordOffset, full.begin() + kRecordOffset + 12)));
         },
         kNotAvailable},
        {"malformed", "record without its signature",
         [](const std::wstring& p) {
             auto blob = fixtures::VersionResource(4, 0, 8015, 0);
             std::memset(blob.data() + kRecordOffset, 0, 4);
             return StandInWithResource(p, blob);
         },
         kNotAvailable},
        {"malformed", "block length that ends before the record",
         [](const std::wstring& p) {
             auto blob = fixtures::VersionResource(4, 0, 8015, 0);
             PutWord(blob, 0, kRecordOffset);
             return StandInWithResource(p, blob);
         },
         kNotAvailable},
        {"malformed", "header only", [](const std::wstring& p) { return StandInWithResource(p, RootBlock(0, {})); },
         kNotAvailable},
        {"malformed", "one byte", [](const std::wstring& p) { return StandInWithResource(p, {0x01}); }, kNotAvailable},
        {"valid", "a record followed by 60000 random bytes",
         [](const std::wstring& p) {
             std::mt19937 random = Seeded(kSeed);
             auto blob = fixtures::VersionResource(2, 81, 1117, 0);
             const auto tail = RandomBytes(random, 60000);
             blob.insert(blob.end(), tail.begin(), tail.end());
             PutWord(blob, 0, blob.size());
             return StandInWithResource(p, blob);
         },
         Exactly({2, 81, 1117, 0})},
    };
    for (const long keep : {2L, 64L, 512L, 4096L, 200000L, -4096L, -512L, -1L}) {
        files.push_back({"truncated", "stand-in cut to " + std::to_string(keep) + " bytes",
                         [keep](const std::wstring& p) { return Truncated(p, keep); }, EitherWay(kStamped)});
    }
    return files;
}

// Version resources of random bytes: wholly random, a real header before
// random values, and real records with random numbers before random tails.
BadFile RandomFile(std::mt19937& random, int index) {
    const std::string seed = " #" + std::to_string(index) + " (seed " + std::to_string(kSeed) + ")";
    const std::vector<BYTE> noise = RandomBytes(random, random() % 300);
    switch (random() % 4) {
        case 0:
            return {"random", "random resource of " + std::to_string(noise.size()) + " bytes" + seed,
                    [noise](const std::wstring& p) { return StandInWithResource(p, noise); }, kNotAvailable};
        case 1: {
            const auto claimed = static_cast<WORD>(random() % 120);
            return {
                "random",
                "header claiming " + std::to_string(claimed) + " value bytes before " + std::to_string(noise.size()) +
                    " random ones" + seed,
                [claimed, noise](const std::wstring& p) { return StandInWithResource(p, RootBlock(claimed, noise)); },
                kNotAvailable};
        }
        default: {
            const Version v{static_cast<WORD>(random()), static_cast<WORD>(random()), static_cast<WORD>(random()),
                            static_cast<WORD>(random())};
            return {"random valid",
                    "version " + ToAnsi(VersionText(v)) + " before " + std::to_string(noise.size()) + " random bytes" +
                        seed,
                    [v, noise](const std::wstring& p) {
                        auto blob = fixtures::VersionResource(v.major, v.minor, v.build, v.revision);
                        blob.insert(blob.end(), noise.begin(), noise.end());
                        PutWord(blob, 0, blob.size());
                        return StandInWithResource(p, blob);
                    },
                    Exactly(v)};
        }
    }
}

// ---- holding files locked ---------------------------------------------------------------------

// The file held open by this process without sharing while this lives.
class LockedHere {
public:
    explicit LockedHere(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedHere() {
        if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    }
    LockedHere(const LockedHere&) = delete;
    LockedHere& operator=(const LockedHere&) = delete;
    bool Held() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_;
};

// Whichever lock the case asks for.
class CaseLock {
public:
    CaseLock(Lock lock, const std::wstring& path) {
        if (lock == Lock::OtherProcess) other_ = std::make_unique<fixtures::LockedFile>(path);
        if (lock == Lock::ThisProcess) here_ = std::make_unique<LockedHere>(path);
    }
    bool Held() const { return (!other_ || other_->Held()) && (!here_ || here_->Held()); }

private:
    std::unique_ptr<fixtures::LockedFile> other_;
    std::unique_ptr<LockedHere> here_;
};

// ---- the fixture --------------------------------------------------------------------------------

// A directory where a file was, gone again afterwards.
class DirectoriesMade {
public:
    DirectoriesMade() = default;
    ~DirectoriesMade() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) ::RemoveDirectoryW(it->c_str());
    }
    DirectoriesMade(const DirectoriesMade&) = delete;
    DirectoriesMade& operator=(const DirectoriesMade&) = delete;
    bool Make(const std::wstring& path) {
        if (!::CreateDirectoryW(path.c_str(), nullptr)) return false;
        made_.push_back(path);
        return true;
    }
    void RemoveAll() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) ::RemoveDirectoryW(it->c_str());
        made_.clear();
    }

private:
    std::vector<std::wstring> made_;
};

class BadInputFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string profile = harness::Profile();
        if (!profile.empty() && profile != "en" && profile != "de")
            GTEST_SKIP() << "files do not depend on the Windows version or the screen: run in en and de";
        ASSERT_FALSE(fixtures::CommonFilesDirectory().empty());
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
        overrides_ = std::make_unique<fixtures::NativeDllOverrides>(fixtures::CatalogueFileNames());
        ASSERT_TRUE(overrides_->Applied());
    }
    void TearDown() override {
        form.reset();
        directories_.RemoveAll();
        EXPECT_TRUE(changes_.Restore()) << "the prefix's files are not all back";
        overrides_.reset();
        fixtures::RemoveTree(scratch_);
    }

    // Makes the case's file in the scratch directory and puts it at target.
    bool Install(const BadFile& file, const std::wstring& target) {
        if (file.directory) {
            // Placing a file first makes the missing parents, which go again on Restore.
            if (!changes_.Place(fixtures::BuiltFile("WIZARD_STAND_IN"), target)) return false;
            fixtures::RemoveFile(target);
            return directories_.Make(target);
        }
        const std::wstring source = scratch_ + L"\\case" + std::to_wstring(++made_) + L".bin";
        if (!file.make(source)) return false;
        return changes_.Place(source, target);
    }

    void Launch() {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
    }
    // From whatever page back to the welcome page, then forward to the given step.
    void GoToStep(int step) {
        for (int guard = 0; guard < 4 && form->WizardStep > 1; ++guard) {
            const int before = form->WizardStep;
            harness::ClickWithMouse(form->Control(cmdZurück));
            ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == before - 1; }));
        }
        while (form->WizardStep < step) {
            const int before = form->WizardStep;
            harness::ClickWithMouse(form->Control(cmdWeiter));
            ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == before + 1; }))
                << "Next did not lead on from step " << before;
        }
        harness::Pump(*form, 20);
    }

    std::unique_ptr<frmMain> form;
    std::wstring scratch_;
    fixtures::PrefixChanges changes_;
    DirectoriesMade directories_;
    std::unique_ptr<fixtures::NativeDllOverrides> overrides_;
    std::map<std::string, int> tried_;
    int made_ = 0;
};

// ---- the reader itself -------------------------------------------------------------------------

// Blocks that the platform's VerQueryValue misreads: it trusted their
// lengths and handed out records past the end of the buffer (the reader then
// copied from there, and crashed) or made of the buffer's zero padding
// (shown as version 0.0.0).
TEST_F(BadInputFiles, TheReaderChecksTheRootBlockItself) {
    auto withKey = [](const std::wstring& key) {
        auto blob = fixtures::VersionResource(4, 0, 8015, 0);
        for (size_t i = 0; i < key.size() && 6 + 2 * i + 1 < kRecordOffset; ++i) PutWord(blob, 6 + 2 * i, key[i]);
        return blob;
    };
    const auto full = fixtures::VersionResource(4, 0, 8015, 0);
    const std::vector<BYTE> record(full.begin() + kRecordOffset, full.begin() + kRecordOffset + 52);
    struct Case {
        const char* what;
        std::vector<BYTE> blob;
    };
    const Case cases[] = {
        // 25 random bytes: VerQueryValue answered a record of 38690 bytes 28
        // bytes into a 54-byte buffer.
        {"random bytes claiming a long record",
         {0x93, 0x94, 0x22, 0x97, 0x35, 0x1a, 0x85, 0x20, 0xf4, 0x2d, 0x09, 0x85, 0x3b,
          0x1b, 0x41, 0x69, 0x4d, 0x67, 0xf6, 0x72, 0x03, 0x70, 0xe0, 0x3f, 0x8e}},
        {"a record of 12 bytes claimed as 52", RootBlock(52, std::vector<BYTE>(record.begin(), record.begin() + 12))},
        {"a block length that ends inside the record", RootBlock(52, record, kRecordOffset + 51)},
        // The first read takes 8 KiB; the second one no more than the resource.
        {"a block length beyond what was read", RootBlock(52, record, 40000)},
        {"a record without its signature", RootBlock(52, std::vector<BYTE>(52, 0))},
        {"another key", withKey(L"VS_VERSION_INFX")},
        {"an ANSI key", withKey(L"\x5356\x565f\x5245")},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring file = scratch_ + L"\\reader" + std::to_wstring(++index) + L".dll";
        ASSERT_TRUE(StandInWithResource(file, c.blob));
        VS_FIXEDFILEINFO info;
        std::memset(&info, 0xAB, sizeof(info));
        EXPECT_FALSE(ReadFixedFileInfo(file, info));
        const std::vector<BYTE> untouched(sizeof(info), 0xAB);
        EXPECT_EQ(std::memcmp(&info, untouched.data(), sizeof(info)), 0) << "the record was written";
        EXPECT_EQ(GetFileVersionText(file, false), pagetext::NotAvailable());
    }
    // The same record in a sound block reads as it is.
    const std::wstring sound = scratch_ + L"\\sound.dll";
    ASSERT_TRUE(StandInWithResource(sound, RootBlock(52, record)));
    EXPECT_EQ(GetFileVersionText(sound, false), L"4.0.8015");
}

// ---- the Jet engine on the version page ----------------------------------------------------------

// The build number the verdict goes by: the revision when it is not 0.
bool JetIsLatest(const Version& v) {
    return (v.revision != 0 ? v.revision : v.build) >= 8015;
}

TEST_F(BadInputFiles, TheVersionPageShowsNotAvailableOrTheRealJetVersion) {
    const std::wstring jet = fixtures::SystemDirectory() + L"\\msjet40.dll";
    std::vector<BadFile> files = HandPickedFiles();
    std::mt19937 random = Seeded(kSeed);
    for (int i = 0; i < 60; ++i) files.push_back(RandomFile(random, i));

    Launch();
    for (const BadFile& file : files) {
        SCOPED_TRACE(file.kind + ": " + file.label);
        directories_.RemoveAll();
        ASSERT_TRUE(changes_.Remove(jet));
        ASSERT_TRUE(Install(file, jet)) << "cannot make the file";
        const CaseLock lock(file.lock, jet);
        ASSERT_TRUE(lock.Held()) << "cannot lock the file";
        ASSERT_NO_FATAL_FAILURE(GoToStep(2));
        ++tried_[file.kind];

        const std::wstring found = WindowText(form->Control(lblJetVerDescr));
        const std::wstring notAvailable = JetDescription(pagetext::NotAvailable(), false);
        const std::wstring real =
            JetDescription(VersionText(file.expected.version), JetIsLatest(file.expected.version));
        if (file.expected.notAvailable) {
            EXPECT_EQ(found, notAvailable) << "found " << ToAnsi(found) << "\nexpected " << ToAnsi(notAvailable);
        } else if (file.expected.eitherWay) {
            EXPECT_TRUE(found == notAvailable || found == real)
                << "found " << ToAnsi(found) << "\nexpected " << ToAnsi(notAvailable) << "\nor " << ToAnsi(real);
        } else {
            EXPECT_EQ(found, real) << "found " << ToAnsi(found) << "\nexpected " << ToAnsi(real);
        }
    }
    for (const auto& [kind, count] : tried_) std::printf("[   NOTE   ] Jet engine: %d %s files\n", count, kind.c_str());
}

// ---- the catalogue and the file list --------------------------------------------------------------

struct Row {
    std::wstring version, path;
    bool found = false;
};

// The list's row for a file name, or found false.
Row ListRow(HWND list, const std::wstring& name) {
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = name.c_str();
    const auto item =
        static_cast<int>(::SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    Row row;
    if (item < 0) return row;
    row.found = true;
    for (int column : {1, 2}) {
        wchar_t buffer[1024] = {};
        LVITEMW request{};
        request.iSubItem = column;
        request.pszText = buffer;
        request.cchTextMax = static_cast<int>(std::size(buffer));
        const auto length =
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
        (column == 1 ? row.version : row.path) = std::wstring(buffer, static_cast<size_t>(length));
    }
    return row;
}

TEST_F(BadInputFiles, TheCatalogueAndTheFileListShowNotAvailableOrTheRealVersion) {
    const auto& catalogue = fixtures::ExpectedCatalogue();
    std::vector<BadFile> files = HandPickedFiles();
    std::mt19937 random = Seeded(kSeed ^ 0x77u);
    // Rounds of one case per catalogue row, until every hand-picked case and
    // as many random ones have had a row.
    const size_t rounds = 6;
    while (files.size() < rounds * catalogue.size())
        files.push_back(RandomFile(random, static_cast<int>(files.size())));

    Launch();
    for (size_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        directories_.RemoveAll();
        std::vector<const BadFile*> placed(catalogue.size());
        std::vector<std::unique_ptr<CaseLock>> locks;
        for (size_t row = 0; row < catalogue.size(); ++row) {
            const BadFile& file = files[round * catalogue.size() + row];
            const std::wstring target = fixtures::CataloguePath(catalogue[row]);
            ASSERT_TRUE(changes_.Remove(target)) << ToAnsi(target);
            ASSERT_TRUE(Install(file, target)) << file.label << " at " << ToAnsi(target);
            locks.push_back(std::make_unique<CaseLock>(file.lock, target));
            ASSERT_TRUE(locks.back()->Held()) << "cannot lock " << ToAnsi(target);
            placed[row] = &file;
        }
        ASSERT_NO_FATAL_FAILURE(GoToStep(3));
        ASSERT_EQ(form->ComponentFiles.size(), catalogue.size());
        HWND list = form->Control(lvwMDACFiles);
        for (size_t row = 0; row < catalogue.size(); ++row) {
            const BadFile& file = *placed[row];
            const std::wstring path = fixtures::CataloguePath(catalogue[row]);
            SCOPED_TRACE("row " + std::to_string(row) + " " + ToAnsi(path) + ": " + file.kind + ": " + file.label);
            ++tried_[file.kind];
            const ComponentFile& entry = form->ComponentFiles[row];
            const bool notAvailable = entry.FilePath == pagetext::NotAvailable() && entry.FileVersion == L"N/A";
            const bool real = entry.FilePath == path && entry.FileVersion == VersionText(file.expected.version);
            const std::string shown = "found path " + ToAnsi(entry.FilePath) + ", version " + ToAnsi(entry.FileVersion);
            if (file.expected.notAvailable) {
                EXPECT_TRUE(notAvailable) << shown << "; expected not available";
            } else if (file.expected.eitherWay) {
                EXPECT_TRUE(notAvailable || real)
                    << shown << "; expected not available or " << ToAnsi(VersionText(file.expected.version));
            } else {
                EXPECT_TRUE(real) << shown << "; expected " << ToAnsi(VersionText(file.expected.version));
            }
            // The list shows what the catalogue holds, for the rows it lists.
            const Row listed = ListRow(list, entry.FileName);
            EXPECT_EQ(listed.found, !catalogue[row].hideFromList);
            if (listed.found) {
                EXPECT_EQ(listed.version, entry.FileVersion) << "list shows " << ToAnsi(listed.version);
                EXPECT_EQ(listed.path, entry.FilePath) << "list shows " << ToAnsi(listed.path);
            }
        }
    }
    for (const auto& [kind, count] : tried_)
        std::printf("[   NOTE   ] component files: %d %s files\n", count, kind.c_str());
}

}  // namespace
