// The file version list: one row per listed component with its version, its
// path and an icon that says whether the version belongs to the installed MDAC.

#include "repair/FileVersionList.h"

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "winsupport/TextCodec.h"

namespace {

constexpr int kMatchingImage = 0;
constexpr int kMismatchImage = 1;

std::string ItemText(HWND list, int item, int column) {
    char buffer[1024] = {};
    LVITEMA request{};
    request.iSubItem = column;
    request.pszText = buffer;
    request.cchTextMax = static_cast<int>(std::size(buffer));
    ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
    return buffer;
}

// Compares two rows by the sort column's texts, read before the sort began:
// the control moves its rows while it sorts, so it cannot be asked then.
int CALLBACK CompareByColumn(LPARAM first, LPARAM second, LPARAM sortTexts) {
    const auto& texts = *reinterpret_cast<const std::vector<std::string>*>(sortTexts);
    const auto a = static_cast<size_t>(first);
    const auto b = static_cast<size_t>(second);
    if (a >= texts.size() || b >= texts.size()) return 0;
    const int order = ::lstrcmpiA(texts[a].c_str(), texts[b].c_str());
    if (order != 0) return order;
    return a < b ? -1 : (a > b ? 1 : 0);  // equal texts keep their order
}

// Keeps the list from updating its scroll bars and repainting after every
// row, which under Wine costs more than reading all the files' versions.
class ListUpdate {
public:
    explicit ListUpdate(HWND list) noexcept : list_(list) { ::SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ListUpdate(const ListUpdate&) = delete;
    ListUpdate& operator=(const ListUpdate&) = delete;
    ~ListUpdate() {
        ::SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list_, nullptr, TRUE);
    }

private:
    HWND list_;
};

}  // namespace

void frmMain::FillFileVersionList() {
    BuildComponentCatalogue();
    const std::wstring pattern = MdacVersionPrefix + L"*";
    HWND list = Control(lvwMDACFiles);
    ListUpdate update(list);
    ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const ComponentFile& entry : ComponentFiles) {
        if (entry.HideFromList) continue;
        std::string name = ToAnsi(entry.FileName);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = name.data();
        // A row without a version belongs to no MDAC, though the pattern of an empty prefix matches it.
        const bool matching = entry.FileVersion != kNoFileVersion && MatchesPattern(entry.FileVersion, pattern);
        item.iImage = matching ? kMatchingImage : kMismatchImage;
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
    HWND list = Control(lvwMDACFiles);
    ListUpdate update(list);
    const auto count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(count > 0 ? count : 0));
    for (int item = 0; item < count; ++item) {
        texts.push_back(ItemText(list, item, fileListSortKey_));
        // Each row carries its place in the text table to the comparison.
        LVITEMA tag{};
        tag.mask = LVIF_PARAM;
        tag.iItem = item;
        tag.lParam = item;
        ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tag));
    }
    ::SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&texts), reinterpret_cast<LPARAM>(&CompareByColumn));
}
