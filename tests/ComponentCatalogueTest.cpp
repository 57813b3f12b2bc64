// The component catalogue and the file version list against real files with
// version resources under all 31 catalogue paths of the test prefix.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/FixtureFiles.h"
#include "tests/VersionPageTexts.h"
#include "tests/WizardHarness.h"
#include "winsupport/TextCodec.h"

namespace {

using harness::Localized;

struct Version {
    WORD major, minor, build, revision;
};

constexpr size_t kCatalogueSize = 31;
constexpr size_t kMissingRow = 3;      // MSADRH15.DLL
constexpr size_t kOlderRow = 9;        // MSADCF.DLL, 2.8.1117
constexpr size_t kNewerRow = 21;       // MSDATT.DLL, 2.9.0
constexpr size_t kLargeBuildRow = 24;  // MSDAORA.DLL, a build number above 32767

// Each row a version of its own, so that a row read from the wrong file shows.
Version VersionOfRow(size_t row) {
    if (row == kOlderRow) return {2, 8, 1117, 0};
    if (row == kNewerRow) return {2, 9, 0, 0};
    if (row == kLargeBuildRow) return {2, 81, 40000, 7};
    return {2, 81, static_cast<WORD>(1100 + row), static_cast<WORD>(row)};
}

std::wstring VersionText(const Version& v) {
    return std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.build);
}

std::wstring FileNameOf(const fixtures::CatalogueFile& file) {
    const std::wstring relative = file.relative;
    return relative.substr(relative.find_last_of(L'\\') + 1);
}

// What the catalogue should hold for one row with the installed files.
struct ExpectedEntry {
    std::wstring fileName, filePath, fileVersion;
    Version version;
    bool skip, hide;
};

std::vector<ExpectedEntry> ExpectedEntries() {
    std::vector<ExpectedEntry> entries;
    const auto& catalogue = fixtures::ExpectedCatalogue();
    for (size_t row = 0; row < catalogue.size(); ++row) {
        const auto& file = catalogue[row];
        ExpectedEntry entry{FileNameOf(file),  fixtures::CataloguePath(file), VersionText(VersionOfRow(row)),
                            VersionOfRow(row), file.skipRegistration,         file.hideFromList};
        if (row == kMissingRow) {
            entry.filePath = pagetext::NotAvailable();
            entry.fileVersion = L"N/A";
            entry.version = {0, 0, 0, 0};
        }
        entries.push_back(entry);
    }
    return entries;
}

const wchar_t kDataAccessKey[] = L"Software\\Microsoft\\DataAccess";

// The installed MDAC version in the registry, put back as it was afterwards.
class MdacVersionValue {
public:
    MdacVersionValue() {
        HKEY key = nullptr;
        keyExisted_ = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataAccessKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
        UniqueHkey owned(key);
        if (!keyExisted_) return;
        DWORD type = 0, bytes = 0;
        if (::RegQueryValueExW(key, L"FullInstallVer", nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
            old_.resize(bytes);
            valueExisted_ =
                ::RegQueryValueExW(key, L"FullInstallVer", nullptr, &oldType_, old_.data(), &bytes) == ERROR_SUCCESS;
            old_.resize(bytes);
        }
    }
    ~MdacVersionValue() {
        if (!keyExisted_) {
            ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kDataAccessKey);
            return;
        }
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataAccessKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        UniqueHkey owned(key);
        if (valueExisted_) {
            ::RegSetValueExW(key, L"FullInstallVer", 0, oldType_, old_.data(), static_cast<DWORD>(old_.size()));
        } else {
            ::RegDeleteValueW(key, L"FullInstallVer");
        }
    }
    MdacVersionValue(const MdacVersionValue&) = delete;
    MdacVersionValue& operator=(const MdacVersionValue&) = delete;

    bool Set(const std::wstring& version) const {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDataAccessKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        UniqueHkey owned(key);
        return ::RegSetValueExW(key, L"FullInstallVer", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                                static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    void Remove() const {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataAccessKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        UniqueHkey owned(key);
        ::RegDeleteValueW(key, L"FullInstallVer");
    }

private:
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD oldType_ = REG_SZ;
    std::vector<BYTE> old_;
};

// Stand-ins under every catalogue path but the missing one; the prefix's own
// files come back afterwards.
class InstalledComponents : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(fixtures::CommonFilesDirectory().empty());
        ASSERT_FALSE(fixtures::SystemDirectory().empty());
        scratch_ = fixtures::NewScratchDirectory();
        ASSERT_FALSE(scratch_.empty());
        overrides_ = std::make_unique<fixtures::NativeDllOverrides>(fixtures::CatalogueFileNames());
        ASSERT_TRUE(overrides_->Applied());
        const auto& catalogue = fixtures::ExpectedCatalogue();
        ASSERT_EQ(catalogue.size(), kCatalogueSize);
        for (size_t row = 0; row < catalogue.size(); ++row) {
            const std::wstring target = fixtures::CataloguePath(catalogue[row]);
            if (row == kMissingRow) {
                ASSERT_TRUE(changes_.Remove(target)) << ToAnsi(target);
                continue;
            }
            const Version v = VersionOfRow(row);
            const std::wstring stamped = scratch_ + L"\\row" + std::to_wstring(row) + L".dll";
            ASSERT_TRUE(fixtures::InstallStandIn(stamped, v.major, v.minor, v.build, v.revision));
            ASSERT_TRUE(changes_.Place(stamped, target)) << ToAnsi(target);
        }
    }
    void TearDown() override {
        form.reset();
        EXPECT_TRUE(changes_.Restore()) << "the prefix's component files are not all back";
        overrides_.reset();
        fixtures::RemoveTree(scratch_);
    }
    HWND C(ControlId id) const { return form->Control(id); }
    void Click(ControlId id) {
        harness::ClickWithMouse(C(id));
        harness::Pump(*form, 60);
    }

    std::unique_ptr<frmMain> form;
    std::wstring scratch_;
    fixtures::PrefixChanges changes_;
    std::unique_ptr<fixtures::NativeDllOverrides> overrides_;
};

// ---- the catalogue ---------------------------------------------------------------------

class ComponentCatalogue : public InstalledComponents {};

void ExpectCatalogue(const ComponentFileTable& found, const std::vector<ExpectedEntry>& expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (size_t row = 0; row < expected.size(); ++row) {
        SCOPED_TRACE(testing::Message() << "row " << row << " (" << ToAnsi(expected[row].fileName) << ")");
        const ComponentFile& f = found[row];
        const ExpectedEntry& e = expected[row];
        EXPECT_EQ(f.FileName, e.fileName) << "found " << ToAnsi(f.FileName) << ", expected " << ToAnsi(e.fileName);
        EXPECT_EQ(f.FilePath, e.filePath) << "found " << ToAnsi(f.FilePath) << ", expected " << ToAnsi(e.filePath);
        EXPECT_EQ(f.FileVersion, e.fileVersion)
            << "found " << ToAnsi(f.FileVersion) << ", expected " << ToAnsi(e.fileVersion);
        EXPECT_EQ(f.VersionMajor, e.version.major);
        EXPECT_EQ(f.VersionMinor, e.version.minor);
        EXPECT_EQ(f.VersionBuild, e.version.build);
        EXPECT_EQ(f.SkipRegistration, e.skip);
        EXPECT_EQ(f.HideFromList, e.hide);
    }
}

TEST_F(ComponentCatalogue, ReadsAll31FilesInOrderWithTheirMarks) {
    form = std::make_unique<frmMain>();
    ASSERT_TRUE(form->Create());
    const std::vector<ExpectedEntry> expected = ExpectedEntries();

    form->BuildComponentCatalogue();
    ExpectCatalogue(form->ComponentFiles, expected);

    // Spot checks of the table itself, independent of how it was built.
    const std::wstring common = fixtures::CommonFilesDirectory();
    ASSERT_EQ(form->ComponentFiles.size(), kCatalogueSize);
    EXPECT_EQ(form->ComponentFiles[17].FilePath, common + L"\\System\\Ole DB\\OLEDB32.DLL");
    EXPECT_EQ(form->ComponentFiles[5].FileName, L"MSADOMD.dll");
    EXPECT_EQ(form->ComponentFiles[28].FileName, L"msjet40.dll");
    EXPECT_EQ(form->ComponentFiles[28].FilePath, fixtures::SystemDirectory() + L"\\msjet40.dll");
    EXPECT_EQ(form->ComponentFiles[0].FileVersion, L"2.81.1100");
    EXPECT_EQ(form->ComponentFiles[kOlderRow].FileVersion, L"2.8.1117");
    EXPECT_EQ(form->ComponentFiles[kLargeBuildRow].FileVersion, L"2.81.40000");
    EXPECT_EQ(form->ComponentFiles[kMissingRow].FileName, L"MSADRH15.DLL");
    EXPECT_EQ(form->ComponentFiles[kMissingRow].FilePath, pagetext::NotAvailable());
    EXPECT_EQ(form->ComponentFiles[kMissingRow].FileVersion, L"N/A");
    std::vector<size_t> skipped, hidden;
    for (size_t row = 0; row < form->ComponentFiles.size(); ++row) {
        if (form->ComponentFiles[row].SkipRegistration) skipped.push_back(row);
        if (form->ComponentFiles[row].HideFromList) hidden.push_back(row);
    }
    EXPECT_EQ(skipped, (std::vector<size_t>{1, 8, 10, 12, 13, 15, 27}));
    EXPECT_EQ(hidden, (std::vector<size_t>{20, 28, 29, 30}));
    // The run registers every file found that is not skipped; the missing
    // one's "path" is a text, never loaded.
    for (size_t row = 0; row < form->ComponentFiles.size(); ++row) {
        const bool skip = std::find(skipped.begin(), skipped.end(), row) != skipped.end();
        EXPECT_EQ(IsRegisteredByRun(form->ComponentFiles[row]), !skip && row != kMissingRow) << "row " << row;
    }

    // A second build starts afresh rather than adding to the first.
    form->BuildComponentCatalogue();
    ExpectCatalogue(form->ComponentFiles, expected);
}

TEST_F(ComponentCatalogue, ReadsAFileThatIsNowMissingOrNowThere) {
    form = std::make_unique<frmMain>();
    ASSERT_TRUE(form->Create());
    const auto& catalogue = fixtures::ExpectedCatalogue();
    const std::wstring path = fixtures::CataloguePath(catalogue[kMissingRow]);

    ComponentFile entry = form->ReadComponentFile(path);
    EXPECT_EQ(entry.FileName, L"MSADRH15.DLL");
    EXPECT_EQ(entry.FilePath, pagetext::NotAvailable());
    EXPECT_EQ(entry.FileVersion, L"N/A");

    ASSERT_TRUE(changes_.Place(scratch_ + L"\\row" + std::to_wstring(kLargeBuildRow) + L".dll", path));
    entry = form->ReadComponentFile(path);
    EXPECT_EQ(entry.FilePath, path);
    EXPECT_EQ(entry.FileVersion, L"2.81.40000");
    EXPECT_EQ(entry.VersionBuild, 40000);

    // Present but without version information counts as not available.
    ASSERT_TRUE(fixtures::InstallUnversionedStandIn(scratch_ + L"\\unversioned.dll"));
    ASSERT_TRUE(changes_.Place(scratch_ + L"\\unversioned.dll", path));
    entry = form->ReadComponentFile(path);
    EXPECT_EQ(entry.FileName, L"MSADRH15.DLL");
    EXPECT_EQ(entry.FilePath, pagetext::NotAvailable());
    EXPECT_EQ(entry.FileVersion, L"N/A");
}

struct FileNameCase {
    const wchar_t* path;
    const wchar_t* expected;
};

TEST(ComponentCatalogueFileName, IsTheTextAfterTheLastBackslash) {
    const FileNameCase cases[] = {
        {L"C:\\A\\B.DLL", L"B.DLL"},
        {L"B.DLL", L"B.DLL"},
        {L"C:\\A\\", L""},
        {L"", L""},
        {L"C:\\Program Files\\Common Files\\System\\Ole DB\\OLEDB32.DLL", L"OLEDB32.DLL"},
        {L"\\\\server\\share\\MSADOMD.dll", L"MSADOMD.dll"},
        {L"C:B.DLL", L"C:B.DLL"},
        {L"Not available", L"Not available"},
    };
    for (const FileNameCase& c : cases) {
        EXPECT_EQ(frmMain::GetFile03(c.path), c.expected)
            << "GetFile03 of " << ToAnsi(c.path) << ": found " << ToAnsi(frmMain::GetFile03(c.path));
        EXPECT_EQ(frmMain::GetFile(c.path), c.expected)
            << "GetFile of " << ToAnsi(c.path) << ": found " << ToAnsi(frmMain::GetFile(c.path));
    }
}

// ---- the file version list -------------------------------------------------------------

class FileList : public InstalledComponents {
protected:
    void Launch() {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
    }
    HWND List() const { return C(lvwMDACFiles); }
    int Count() const { return static_cast<int>(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Text(int item, int column) const {
        wchar_t buffer[512] = {};
        LVITEMW request{};
        request.iSubItem = column;
        request.pszText = buffer;
        request.cchTextMax = static_cast<int>(std::size(buffer));
        const auto length =
            ::SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
        return std::wstring(buffer, static_cast<size_t>(length));
    }
    int Image(int item) const {
        LVITEMW request{};
        request.mask = LVIF_IMAGE;
        request.iItem = item;
        request.iImage = -99;  // sentinel: stays when the item is not read
        ::SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
        return request.iImage;
    }
    // The rows as "name | version | path | image".
    std::vector<std::wstring> Rows() const {
        std::vector<std::wstring> rows;
        rows.reserve(static_cast<size_t>(Count()));
        for (int item = 0; item < Count(); ++item)
            rows.push_back(Text(item, 0) + L" | " + Text(item, 1) + L" | " + Text(item, 2) + L" | " +
                           std::to_wstring(Image(item)));
        return rows;
    }
    // A real mouse click on a column header of the list.
    void ClickHeader(int column) {
        HWND header = reinterpret_cast<HWND>(::SendMessageW(List(), LVM_GETHEADER, 0, 0));
        ASSERT_NE(header, nullptr);
        RECT rect{};
        ASSERT_TRUE(
            ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rect)));
        POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ::ClientToScreen(header, &point);
        ASSERT_EQ(::WindowFromPoint(point), header) << "the header is covered";
        ::SetCursorPos(point.x, point.y);
        harness::ClickLeftButton();
        harness::Pump(*form, 80);
    }

    MdacVersionValue mdacVersion_;
};

// The listed rows in catalogue order as the user should see them.
std::vector<std::wstring> ExpectedRows(const std::wstring& prefix) {
    std::vector<std::wstring> rows;
    for (const ExpectedEntry& e : ExpectedEntries()) {
        if (e.hide) continue;
        const bool matching = e.fileVersion != L"N/A" && e.fileVersion.compare(0, prefix.size(), prefix) == 0;
        rows.push_back(e.fileName + L" | " + e.fileVersion + L" | " + e.filePath + L" | " + (matching ? L"0" : L"1"));
    }
    return rows;
}

// The version column is the second field of a row text.
std::wstring VersionField(const std::wstring& row) {
    const size_t start = row.find(L" | ") + 3;
    return row.substr(start, row.find(L" | ", start) - start);
}

void ExpectRows(const std::vector<std::wstring>& found, const std::vector<std::wstring>& expected) {
    EXPECT_EQ(found.size(), expected.size()) << "items in the list";
    for (size_t row = 0; row < std::max(found.size(), expected.size()); ++row) {
        const std::wstring f = row < found.size() ? found[row] : L"(none)";
        const std::wstring e = row < expected.size() ? expected[row] : L"(none)";
        EXPECT_EQ(f, e) << "row " << row << ": found " << ToAnsi(f) << ", expected " << ToAnsi(e);
    }
}

TEST_F(FileList, ShowsTheListedFilesWithIconsAndSortsByTheClickedColumn) {
    ASSERT_TRUE(mdacVersion_.Set(L"2.81.1117.0"));
    Launch();
    Click(cmdWeiter);
    Click(cmdWeiter);
    ASSERT_EQ(form->WizardStep, 3);
    ASSERT_EQ(form->MdacVersionPrefix, L"2.81");

    // Both images of the list, 16 by 16.
    const auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(List(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(images), 2);
    int width = 0, height = 0;
    EXPECT_TRUE(::ImageList_GetIconSize(images, &width, &height));
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);

    // 27 rows: the URL provider and the three Jet files are not listed.
    std::vector<std::wstring> expected = ExpectedRows(L"2.81");
    ASSERT_EQ(expected.size(), 27u);
    ExpectRows(Rows(), expected);
    // No text is cut: each column is as wide as the list makes it for its texts and its heading.
    for (int column = 0; column < 3; ++column) {
        const auto width = ::SendMessageW(List(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
        // For the last column the heading means "to the list's edge"; its heading is short anyway.
        ::SendMessageW(List(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                       column < 2 ? LVSCW_AUTOSIZE_USEHEADER : LVSCW_AUTOSIZE);
        const auto needed = ::SendMessageW(List(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
        ::SendMessageW(List(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width);
        EXPECT_GE(width, needed) << "column " << column;
    }
    for (const wchar_t* absent : {L"MSDAURL.DLL", L"msjet40.dll", L"msjtes40.dll", L"msjetoledb40.dll"}) {
        LVFINDINFOW find{};
        find.flags = LVFI_STRING;
        find.psz = absent;
        EXPECT_EQ(::SendMessageW(List(), LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), -1)
            << ToAnsi(absent) << " is listed";
    }

    // A click on the version header sorts the rows by the version as text. The
    // list's page comes to the front only after a repair; bring it forward so
    // that the mouse reaches the header.
    form->ShowPage(pic4);
    harness::Pump(*form, 30);
    ClickHeader(1);
    std::vector<std::wstring> byVersion = expected;
    std::sort(byVersion.begin(), byVersion.end(),
              [](const std::wstring& a, const std::wstring& b) { return VersionField(a) < VersionField(b); });
    ExpectRows(Rows(), byVersion);
    const std::vector<std::wstring> sorted = Rows();
    ASSERT_EQ(sorted.size(), 27u);
    EXPECT_EQ(VersionField(sorted.front()), L"2.8.1117");
    EXPECT_EQ(VersionField(sorted[sorted.size() - 2]), L"2.9.0") << "2.81.x sorts before 2.9.0 as text";
    EXPECT_EQ(VersionField(sorted.back()), L"N/A");

    // Back and Next fill the list again, still in the clicked column's order.
    Click(cmdZurück);
    ASSERT_EQ(form->WizardStep, 2);
    Click(cmdWeiter);
    ASSERT_EQ(form->WizardStep, 3);
    ExpectRows(Rows(), byVersion);

    // Without an installed MDAC version every row with a version gets the check mark.
    mdacVersion_.Remove();
    Click(cmdZurück);
    Click(cmdZurück);
    ASSERT_EQ(form->WizardStep, 1);
    Click(cmdWeiter);
    Click(cmdWeiter);
    ASSERT_EQ(form->WizardStep, 3);
    ASSERT_EQ(form->MdacVersionPrefix, L"");
    std::vector<std::wstring> unchecked = ExpectedRows(L"");
    std::sort(unchecked.begin(), unchecked.end(),
              [](const std::wstring& a, const std::wstring& b) { return VersionField(a) < VersionField(b); });
    ExpectRows(Rows(), unchecked);
}

TEST_F(FileList, SortsByNameAndPathColumnsToo) {
    ASSERT_TRUE(mdacVersion_.Set(L"2.81.1117.0"));
    Launch();
    Click(cmdWeiter);
    Click(cmdWeiter);
    ASSERT_EQ(form->WizardStep, 3);
    form->ShowPage(pic4);
    harness::Pump(*form, 30);

    const std::vector<std::wstring> expected = ExpectedRows(L"2.81");
    for (int column : {2, 0}) {
        SCOPED_TRACE(testing::Message() << "column " << column);
        ClickHeader(column);
        std::vector<std::wstring> sorted = expected;
        // File names and paths compare without regard to case.
        std::stable_sort(sorted.begin(), sorted.end(), [column](const std::wstring& a, const std::wstring& b) {
            auto field = [column](const std::wstring& row) {
                size_t start = 0;
                for (int skip = 0; skip < column; ++skip) start = row.find(L" | ", start) + 3;
                std::wstring text = row.substr(start, row.find(L" | ", start) - start);
                ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
                return text;
            };
            return field(a) < field(b);
        });
        ExpectRows(Rows(), sorted);
    }
}

}  // namespace
