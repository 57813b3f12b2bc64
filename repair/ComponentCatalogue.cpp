// The 31 MDAC and Jet component files: where they live, what version they
// have, and how the repair run and the file list treat each.

#include "repair/ComponentCatalogue.h"

#include <windows.h>

#include <iterator>
#include <utility>

#include "repair/PatternMatch.h"
#include "winsupport/DecimalText.h"
#include "winsupport/DllSearch.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

constexpr int kCommonProgramFiles = 0x2B;  // CSIDL_PROGRAM_FILES_COMMON

enum class Base { CommonFiles, System };

struct CatalogueRow {
    Base base;
    const wchar_t* appended;
    bool skipRegistration;
    bool hideFromList;
};

// Resource-only and satellite DLLs are never registered; the Jet files and the
// URL provider are registered but not listed.
constexpr CatalogueRow kCatalogue[] = {
    {Base::CommonFiles, L"\\System\\ado\\MSADO15.DLL", false, false},
    {Base::CommonFiles, L"\\System\\ado\\MSADER15.DLL", true, false},
    {Base::CommonFiles, L"\\System\\ado\\MSADOR15.DLL", false, false},
    {Base::CommonFiles, L"\\System\\ado\\MSADRH15.DLL", false, false},
    {Base::CommonFiles, L"\\System\\ado\\MSADOX.DLL", false, false},
    {Base::CommonFiles, L"\\System\\ado\\MSADOMD.dll", false, false},
    {Base::CommonFiles, L"\\System\\ado\\MSJRO.DLL", false, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCE.DLL", false, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCER.DLL", true, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCF.DLL", false, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCFR.DLL", true, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCO.DLL", false, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCOR.DLL", true, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADCS.DLL", true, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADDS.DLL", false, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSADDSR.DLL", true, false},
    {Base::CommonFiles, L"\\System\\MSADC\\MSDAPRST.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\OLEDB32.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSXACTPS.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDAENUM.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDAURL.DLL", false, true},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDATT.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDASQL.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDAOSP.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDAORA.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDAPS.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDADC.DLL", false, false},
    {Base::CommonFiles, L"\\System\\Ole DB\\MSDAER.DLL", true, false},
    {Base::System, L"\\msjet40.dll", false, true},
    {Base::System, L"\\msjtes40.dll", false, true},
    {Base::System, L"\\msjetoledb40.dll", false, true},
};

}  // namespace

std::wstring FileNameOf(const std::wstring& path) {
    const auto separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

ComponentFile ReadComponentFile(const std::wstring& path) {
    ComponentFile entry;
    entry.FileName = FileNameOf(path);
    entry.CataloguePath = path;
    VS_FIXEDFILEINFO info{};
    if (ReadFixedFileInfo(path, info)) {
        entry.VersionMajor = HIWORD(info.dwFileVersionMS);
        entry.VersionMinor = LOWORD(info.dwFileVersionMS);
        entry.VersionBuild = HIWORD(info.dwFileVersionLS);
        entry.FilePath = path;
        entry.FileVersion = DecimalText(entry.VersionMajor) + L"." + DecimalText(entry.VersionMinor) + L"." +
                            DecimalText(entry.VersionBuild);
    } else {
        entry.FilePath = LoadMessage(msg::NotAvailable);
        entry.FileVersion = kNoFileVersion;
    }
    return entry;
}

std::wstring CommonFilesFolder() {
    return GetSpecialFolderPath(kCommonProgramFiles);
}

ComponentFileTable BuildCatalogue(const std::wstring& commonFiles, const std::wstring& systemDirectory) {
    ComponentFileTable table;
    table.reserve(std::size(kCatalogue));
    for (const CatalogueRow& row : kCatalogue) {
        ComponentFile entry =
            ReadComponentFile((row.base == Base::CommonFiles ? commonFiles : systemDirectory) + row.appended);
        entry.SkipRegistration = row.skipRegistration;
        entry.HideFromList = row.hideFromList;
        table.push_back(std::move(entry));
    }
    return table;
}

bool IsRegisteredByRun(const ComponentFile& entry) {
    // A missing file's "path" is message 102's text; it is never loaded.
    return !entry.SkipRegistration && IsAbsolutePath(ToAnsi(entry.FilePath));
}

bool MatchesMdacVersion(const ComponentFile& entry, const std::wstring& mdacVersionPrefix,
                        const WindowsRelease& windows) {
    // A row without a version belongs to no MDAC, though the pattern of an empty prefix matches it.
    if (entry.FileVersion == kNoFileVersion) return false;
    if (MatchesPattern(entry.FileVersion, mdacVersionPrefix + L"*")) return true;
    // From Vista on the files carry the Windows version, and FullInstallVer may
    // lag behind it. "6.1." must not take 6.10.
    if (windows.major < 6) return false;
    const std::wstring release = DecimalText(windows.major) + L"." + DecimalText(windows.minor) + L".";
    return entry.FileVersion.compare(0, release.size(), release) == 0;
}
