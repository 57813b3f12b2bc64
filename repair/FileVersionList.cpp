// The file version list: one row per listed component with its version, its
// path and an icon that says whether the version belongs to the installed MDAC.

#include "repair/FileVersionList.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/frmMain.h"
#include "winsupport/TextCodec.h"

namespace {

constexpr int kMatchingImage = 0;
constexpr int kMismatchImage = 1;

struct SortRequest {
    HWND list;
    int column;
};

std::string ItemText(HWND list, int item, int column) {
    char buffer[1024] = {};
    LVITEMA request{};
    request.iSubItem = column;
    request.pszText = buffer;
    request.cchTextMax = static_cast<int>(std::size(buffer));
    ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
    return buffer;
}

int CALLBACK CompareByColumn(LPARAM first, LPARAM second, LPARAM sortRequest) {
    const auto* request = reinterpret_cast<const SortRequest*>(sortRequest);
    const std::string a = ItemText(request->list, static_cast<int>(first), request->column);
    const std::string b = ItemText(request->list, static_cast<int>(second), request->column);
    return ::lstrcmpiA(a.c_str(), b.c_str());
}

}  // namespace

void frmMain::FillFileVersionList() {
    BuildComponentCatalogue();
    const std::wstring pattern = MdacVersionPrefix + L"*";
    HWND list = Control(lvwMDACFiles);
    ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const ComponentFile& entry : ComponentFiles) {
        if (entry.HideFromList) continue;
        std::string name = ToAnsi(entry.FileName);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = name.data();
        item.iImage = MatchesPattern(entry.FileVersion, pattern) ? kMatchingImage : kMismatchImage;
        const auto index = static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;
        const std::wstring* columns[] = {&entry.FileVersion, &entry.FilePath};
        for (int column = 1; column <= 2; ++column) {
            std::string text = ToAnsi(*columns[column - 1]);
            LVITEMA sub{};
            sub.iSubItem = column;
            sub.pszText = text.data();
            ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
        }
        ++row;
    }
    if (fileListSorted_) SortFileList();
}

void frmMain::OnFileListColumnClick(int column) {
    fileListSortKey_ = column;
    fileListSorted_ = true;
    SortFileList();
}

void frmMain::SortFileList() {
    // Always ascending: a second click on the same header sorts the same way.
    SortRequest request{Control(lvwMDACFiles), fileListSortKey_};
    ::SendMessageA(request.list, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(&request),
                   reinterpret_cast<LPARAM>(&CompareByColumn));
}
