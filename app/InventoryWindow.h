#pragma once
// The file page's "Which programs can use what..." window: the inventory as a
// list of what 32-bit and 64-bit programs can use, the answer for a program
// the user picks, and the report for the clipboard. Owned by the wizard and
// modal; the inventory is read on a thread of its own, so that the window
// answers throughout.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "repair/ComponentCatalogue.h"
#include "repair/InventoryReport.h"
#include "ui/AccessibleControls.h"
#include "ui/FileListView.h"
#include "winsupport/Handles.h"

enum InventoryControl : int {
    lblInventoryAnswer = 2001,
    lvwInventory,
    cmdCheckProgram,
    cmdCopyReport,
    lblInventoryStatus,
    cmdCloseInventory = IDCANCEL,
};

// The window's class and its controls' names, for what reads it from outside.
inline constexpr wchar_t kInventoryWindowClass[] = L"MdacRepairInventory";
struct InventoryControlName {
    int id;
    const char* name;
};
inline constexpr InventoryControlName kInventoryControls[] = {
    {lblInventoryAnswer, "lblInventoryAnswer"}, {lvwInventory, "lvwInventory"},
    {cmdCheckProgram, "cmdCheckProgram"},       {cmdCopyReport, "cmdCopyReport"},
    {lblInventoryStatus, "lblInventoryStatus"}, {cmdCloseInventory, "cmdCloseInventory"},
};

class frmInventory {
public:
    // catalogue: the wizard's, for whether a class's own file is there.
    frmInventory(HWND owner, int dpi, ComponentFileTable catalogue);
    ~frmInventory();
    frmInventory(const frmInventory&) = delete;
    frmInventory& operator=(const frmInventory&) = delete;

    // Shows the window with the owner disabled and returns when it is closed.
    void ShowModal();

private:
    struct Reading;
    static unsigned WINAPI ReadingThread(void* parameter);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Create();
    HWND MakeControl(int id, const wchar_t* className, DWORD style, const std::wstring& text);
    void ApplyResolution();
    void Layout();
    int Pixels(int twips) const noexcept { return ::MulDiv(twips, dpi_, 1440); }
    HWND Item(int id) const noexcept { return ::GetDlgItem(window_.get(), id); }

    void StartReading();
    void StopReading() noexcept;
    void OnRead();
    void OnCheckProgram();
    void OnCopy();
    void Fill();
    void SetStatus(const std::wstring& text);

    HWND owner_;
    int dpi_;
    ComponentFileTable catalogue_;
    UniqueWindow window_;
    bool open_ = false;
    HWND focus_ = nullptr;  // kept while another window is active
    UniqueFont font_;
    FileListView list_;
    AccessibleControls accessible_;
    std::unique_ptr<Reading> reading_;
    UniqueKernelHandle thread_;
    bool read_ = false;
    Inventory inventory_;
    std::optional<ProgramAnswer> program_;
    std::wstring answer_;
    std::vector<InventoryRow> rows_;
};
