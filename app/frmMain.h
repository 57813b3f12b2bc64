#pragma once
// The wizard's one window: five stacked page panels above a bar with the
// Back, Next and Cancel buttons, and the state every page shares.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/ControlLayout.h"
#include "app/WizardControls.h"
#include "repair/ComponentCatalogue.h"
#include "resources/resource.h"
#include "ui/AccessibleControls.h"
#include "ui/FileListView.h"
#include "ui/LinkLabels.h"
#include "ui/Palette.h"
#include "winsupport/OleSession.h"
#include "winsupport/WindowTimer.h"

class cTooltips;

enum class MousePointer { Default, Hourglass };

// Why the window is asked to close: QueryCloseWindow's reason.
enum CloseReason : int { kClosedByUser = 0, kClosedBySessionEnd = 2, kClosedByTaskManager = 3 };

class frmMain {
public:
    frmMain();
    virtual ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Builds the window with its controls and runs the start-up sequence; the
    // window stays hidden until Show. False when the window cannot be made.
    bool Create();
    // Centres the window on the screen and shows it.
    void Show();
    // Runs the message loop until the window has been unloaded.
    int RunMessageLoop();
    // Lets pending window messages through once, as long-running handlers do.
    void ProcessPendingMessages();

    HWND hwnd() const noexcept { return window_; }
    bool IsLoaded() const noexcept { return window_ != nullptr; }
    // A control of a page that has not been made yet is made, with the rest
    // of its page, on first use: start-up makes the welcome page only.
    HWND Control(ControlId id) noexcept { return controls_.Get(id); }
    // The window's tooltip object, from start-up until the window is unloaded.
    const cTooltips* Tooltips() const noexcept { return tooltips_.get(); }
    int TwipsToPixelsX(int twips) const noexcept { return controls_.ToPixelsX(twips); }
    int TwipsToPixelsY(int twips) const noexcept { return controls_.ToPixelsY(twips); }

    // Page controller
    void OnNextClick();
    void OnBackClick();
    void OnCancelClick();
    void OnShellExecuteTimer();
    void ShowPage(ControlId panel);
    void Unload();
    // reason 0: the user's close box, system menu or Alt+F4, which press Cancel;
    // any other close goes ahead.
    void QueryCloseWindow(bool& cancel, int reason);

    // Re-registration run, started by the repair button.
    void OnRepairClick();

    // Component catalogue
    void BuildComponentCatalogue();
    ComponentFile ReadComponentFile(const std::wstring& path);
    // The text after the last backslash, or the whole path without one.
    static std::wstring GetFile03(const std::wstring& path);
    static std::wstring GetFile(const std::wstring& path);

    // File version list
    void OnFileListColumnClick(int column);
    // Opens the window of what 32-bit and 64-bit programs can use, and
    // returns when the user has closed it.
    void OnWhichProgramsClick();

    // Shared state of the wizard.
    std::int32_t WizardStep = 0;
    std::wstring SystemDirectory;
    std::int32_t WindowsVersion = 0;
    bool SmallFonts = false;
    std::wstring MdacVersionPrefix;
    std::wstring LinkUrl;
    bool RepairDone = false;
    ComponentFileTable ComponentFiles;
    HWND HoverLabel = nullptr;

    WindowTimer ShellExecuteTimer{1, 4};
    WindowTimer tmrTooltipRemoveCheck{2, 5};

protected:
    // The work that the pages add to the controller; each may raise RaisedError.
    virtual void CheckVersions();
    virtual void FillFileVersionList();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void PaintWindow();
    void OnColoursChanged(UINT message, WPARAM wParam, LPARAM lParam);
    // Names, roles and actions for a screen reader, for every control made.
    void DescribeControls();
    void DescribeStatusIcon(ControlId problemIcon, bool found);
    void PaintPanel(HWND panel);

    void InitializeWindow();
    bool CreateControls();
    void LoadWindow();
    // A page's share of the start-up, done when the page is made.
    void LoadPage(ControlId panel);
    void PrepareFileList();
    void RescaleFileList();
    // Moved to a monitor of another resolution: the suggested frame, and
    // everything made laid out again for the new resolution.
    void OnDpiChanged(int dpi, const RECT& suggested);
    void UnloadWindow();

    void OnCommand(int id, int code);
    void ShowWelcomePage();
    // step: the step in which Next was pressed.
    void ReportNextError(std::int32_t step, const std::wstring& description);
    void PressCancel();
    // After a page change, on Next, else on the front page's first control.
    void KeepFocusInside();
    void RequestClose(int reason);

    // Hover help and tooltip
    void OnLinkClick(ControlId id);
    void CreateTooltipObject();
    void ReleaseTooltipObject();
    void SetRepairPageTooltipTitle();
    void StartKeyCheck();
    void OnKeyCheckTimer();

    void SetMousePointer(MousePointer pointer);
    // OLE for the shell's sake, from the first link or repair on: the
    // welcome page does not need it, and the start-up does not wait for it.
    void StartOle();

    std::optional<OleSession> ole_;
    HWND window_ = nullptr;
    WizardControls controls_;
    // Makes the later pages and the tooltip object in the first moment the
    // shown window is idle, so that neither the start-up nor the first Next
    // waits for them.
    WindowTimer laterPagesTimer_{3, 100};
    LinkLabels links_{HoverLabel, IDC_LINK_HAND};
    Palette palette_ = PaletteFor(HighContrastOn());
    AccessibleControls accessible_;
    FileListView fileList_;
    std::unique_ptr<cTooltips> tooltips_;
    MousePointer mousePointer_ = MousePointer::Default;
};
