#include "ui/FileListView.h"

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>
#include <vector>

#include "winsupport/ScaledImages.h"

namespace {

std::wstring ItemText(HWND list, int item, int column) {
    wchar_t buffer[1024] = {};
    LVITEMW request{};
    request.iSubItem = column;
    request.pszText = buffer;
    request.cchTextMax = static_cast<int>(std::size(buffer));
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
    return buffer;
}

// Compares two rows by the sort column's texts, read before the sort began:
// the control moves its rows while it sorts, so it cannot be asked then.
int CALLBACK CompareByColumn(LPARAM first, LPARAM second, LPARAM sortTexts) {
    const auto& texts = *reinterpret_cast<const std::vector<std::wstring>*>(sortTexts);
    const auto a = static_cast<size_t>(first);
    const auto b = static_cast<size_t>(second);
    if (a >= texts.size() || b >= texts.size()) return 0;
    const int order = ::lstrcmpiW(texts[a].c_str(), texts[b].c_str());
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

void FileListView::Prepare(HWND list, const std::vector<FileListColumn>& columns, int imageStripResource,
                           int imageSize) {
    list_ = list;
    if (list_ == nullptr) return;
    int index = 0;
    for (const FileListColumn& column : columns) {
        std::wstring text = column.caption;
        LVCOLUMNW header{};
        header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        header.pszText = text.data();
        header.cx = column.widthPixels;
        header.iSubItem = index;
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&header));
        ++index;
    }
    SetImages(imageStripResource, imageSize);
    const auto style = ::SendMessageA(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    ::SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
}

void FileListView::SetImages(int imageStripResource, int imageSize) {
    // Silver is shown transparent; the rows grow with the images.
    UniqueImageList images(::ImageList_Create(imageSize, imageSize, ILC_COLOR24 | ILC_MASK, 2, 0));
    const MaskedStrip strip =
        LoadStripSized(::GetModuleHandleW(nullptr), imageStripResource, 16, imageSize, RGB(192, 192, 192));
    if (!images || !strip.colours) return;
    ::ImageList_Add(images.get(), strip.colours.get(), strip.mask.get());
    // The list only borrows the images: the old ones go once it shows the new.
    ::SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.get()));
    images_ = std::move(images);
}

void FileListView::Rescale(const std::vector<int>& columnWidths, int imageStripResource, int imageSize) {
    if (list_ == nullptr) return;
    for (size_t column = 0; column < columnWidths.size(); ++column)
        ::SendMessageA(list_, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(columnWidths[column], 0));
    SetImages(imageStripResource, imageSize);
}

void FileListView::Fill(const std::vector<FileListRow>& rows) {
    std::vector<ListRow> cells;
    cells.reserve(rows.size());
    for (const FileListRow& row : rows)
        cells.push_back({{row.name, row.version, row.path}, row.matching ? kMatchingImage : kMismatchImage});
    Fill(cells);
}

void FileListView::Fill(const std::vector<ListRow>& rows) {
    if (list_ == nullptr) return;
    ListUpdate update(list_);
    ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    int next = 0;
    for (const ListRow& row : rows) {
        if (row.cells.empty()) continue;
        std::wstring first = row.cells.front();
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = next;
        item.pszText = first.data();
        item.iImage = row.image >= 0 ? row.image : I_IMAGENONE;
        const auto index = static_cast<int>(::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;
        for (size_t column = 1; column < row.cells.size(); ++column) {
            std::wstring text = row.cells[column];
            LVITEMW sub{};
            sub.iSubItem = static_cast<int>(column);
            sub.pszText = text.data();
            ::SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
        }
        ++next;
    }
    if (sorted_) Sort();
}

void FileListView::SortBy(int column) {
    sortColumn_ = column;
    sorted_ = true;
    Sort();
}

void FileListView::Sort() {
    if (list_ == nullptr) return;
    ListUpdate update(list_);
    const auto count = static_cast<int>(::SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::wstring> texts;
    texts.reserve(static_cast<size_t>(count > 0 ? count : 0));
    for (int item = 0; item < count; ++item) {
        texts.push_back(ItemText(list_, item, sortColumn_));
        // Each row carries its place in the text table to the comparison.
        LVITEMW tag{};
        tag.mask = LVIF_PARAM;
        tag.iItem = item;
        tag.lParam = item;
        ::SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tag));
    }
    ::SendMessageA(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&texts), reinterpret_cast<LPARAM>(&CompareByColumn));
}
