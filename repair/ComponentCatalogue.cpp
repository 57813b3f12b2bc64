// The 31 MDAC and Jet component files: where they live, what version they
// have, and how the repair run and the file list treat each.

#include <windows.h>

#include "app/MessageCatalogue.h"
#include "app/frmMain.h"
#include "winsupport/DecimalText.h"
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

std::wstring TextAfterLastBackslash(const std::wstring& path) {
    const auto separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::wstring frmMain::GetFile03(const std::wstring& path) {
    return TextAfterLastBackslash(path);
}

std::wstring frmMain::GetFile(const std::wstring& path) {
    return TextAfterLastBackslash(path);
}

ComponentFile frmMain::ReadComponentFile(const std::wstring& path) {
    ComponentFile entry;
    entry.FileName = GetFile03(path);
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

void frmMain::BuildComponentCatalogue() {
    ComponentFiles.assign(std::size(kCatalogue), ComponentFile{});
    const std::wstring commonFiles = GetSpecialFolderPath(kCommonProgramFiles);
    if (commonFiles.empty()) {
        // The build goes on with root-relative paths once the user has read this.
        ::MessageBoxA(window_, ToAnsi(LoadMessage(msg::IdentifyOldFiles)).c_str(),
                      ToAnsi(LoadMessage(msg::ProgramTitle)).c_str(), MB_OK);
    }
    for (size_t index = 0; index < std::size(kCatalogue); ++index) {
        const CatalogueRow& row = kCatalogue[index];
        const std::wstring& base = row.base == Base::CommonFiles ? commonFiles : SystemDirectory;
        ComponentFiles[index] = ReadComponentFile(base + row.appended);
        ComponentFiles[index].SkipRegistration = row.skipRegistration;
        ComponentFiles[index].HideFromList = row.hideFromList;
    }
}
