// The file version page and the component catalogue behind it: one row per
// listed component with its version, its path and an icon that says whether
// the version belongs to the installed MDAC.

#include <windows.h>

#include <vector>

#include "app/frmMain.h"
#include "app/InventoryWindow.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

std::wstring frmMain::GetFile03(const std::wstring& path) {
    return FileNameOf(path);
}

std::wstring frmMain::GetFile(const std::wstring& path) {
    return FileNameOf(path);
}

ComponentFile frmMain::ReadComponentFile(const std::wstring& path) {
    return ::ReadComponentFile(path);
}

void frmMain::BuildComponentCatalogue() {
    const std::wstring commonFiles = CommonFilesFolder();
    if (commonFiles.empty()) {
        // The build goes on with root-relative paths once the user has read this.
        ::MessageBoxA(window_, ToAnsi(LoadMessage(msg::IdentifyOldFiles)).c_str(),
                      ToAnsi(LoadMessage(msg::ProgramTitle)).c_str(), MB_OK);
    }
    ComponentFiles = BuildCatalogue(commonFiles, SystemDirectory);
}

namespace {

// No text is cut, at 96 and 120 dpi: these hold MSDAENUM.DLL after its icon,
// "Dateiversion" and the longest path under "Program Files (x86)", with a few
// pixels to spare for other renderings of Tahoma; the list scrolls sideways
// to show the path.
constexpr int kColumnTwips[] = {1740, 1170, 5700};

}  // namespace

void frmMain::PrepareFileList() {
    fileList_.Prepare(controls_.Made(lvwMDACFiles),
                      {{LoadMessage(msg::FileNameCaption), TwipsToPixelsX(kColumnTwips[0])},
                       {LoadMessage(msg::FileVersionCaption), TwipsToPixelsX(kColumnTwips[1])},
                       {LoadMessage(msg::PathCaption), TwipsToPixelsX(kColumnTwips[2])}},
                      IDB_LIST_IMAGES, controls_.ListImageSize());
}

void frmMain::RescaleFileList() {
    std::vector<int> widths;
    for (const int twips : kColumnTwips) widths.push_back(TwipsToPixelsX(twips));
    fileList_.Rescale(widths, IDB_LIST_IMAGES, controls_.ListImageSize());
}

void frmMain::FillFileVersionList() {
    BuildComponentCatalogue();
    std::vector<FileListRow> rows;
    const WindowsRelease windows = RunningWindowsRelease();
    for (const ComponentFile& entry : ComponentFiles) {
        if (entry.HideFromList) continue;
        rows.push_back(
            {entry.FileName, entry.FileVersion, entry.FilePath, MatchesMdacVersion(entry, MdacVersionPrefix, windows)});
    }
    // Made first: the page's start-up prepares the list.
    controls_.Get(lvwMDACFiles);
    fileList_.Fill(rows);
}

void frmMain::OnFileListColumnClick(int column) {
    fileList_.SortBy(column);
}

void frmMain::OnWhichProgramsClick() {
    // A shortcut the user picks is read through the shell.
    StartOle();
    frmInventory inventory(window_, controls_.Resolution(), ComponentFiles);
    inventory.ShowModal();
    HWND button = Control(cmdWhichPrograms);
    if (button != nullptr && ::IsWindowVisible(button)) ::SetFocus(button);
}
