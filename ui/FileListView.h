#pragma once
// A report-style list of files: one row per file with an icon that says
// whether it matches, its version and its path; or of any rows of texts. It owns its image list and
// keeps its sort column across refills.

#include <windows.h>

#include <string>
#include <vector>

#include "winsupport/Handles.h"

struct FileListRow {
    std::wstring name;
    std::wstring version;
    std::wstring path;
    bool matching = false;  // the check mark, otherwise the warning sign
};

// A row of any report list: its cells' texts and its image (kNoImage for none).
struct ListRow {
    std::vector<std::wstring> cells;
    int image = -1;
};

struct FileListColumn {
    std::wstring caption;
    int widthPixels;
};

class FileListView {
public:
    FileListView() = default;
    FileListView(const FileListView&) = delete;
    FileListView& operator=(const FileListView&) = delete;

    // Columns, images (a strip of the check mark and the warning sign, drawn
    // 16 pixels high, shown imageSize pixels square) and styles, before the
    // list is first filled.
    void Prepare(HWND list, const std::vector<FileListColumn>& columns, int imageStripResource, int imageSize);
    // Another screen resolution: the columns' widths and the images' size.
    void Rescale(const std::vector<int>& columnWidths, int imageStripResource, int imageSize);
    // Replaces the rows, in the given order unless a column has been clicked.
    void Fill(const std::vector<FileListRow>& rows);
    void Fill(const std::vector<ListRow>& rows);
    static constexpr int kMatchingImage = 0;
    static constexpr int kMismatchImage = 1;
    // Sorts by a column, always ascending, and keeps that order for later fills.
    void SortBy(int column);

private:
    void SetImages(int imageStripResource, int imageSize);
    void Sort();

    HWND list_ = nullptr;
    UniqueImageList images_;  // imlMDACFiles
    int sortColumn_ = 0;
    bool sorted_ = false;
};
