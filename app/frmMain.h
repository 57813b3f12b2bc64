#pragma once
// The wizard's one window: five stacked page panels above a bar with the
// Back, Next and Cancel buttons, and the state every page shares.

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "repair/ComponentCatalogue.h"
#include "winsupport/Handles.h"
#include "winsupport/WindowTimer.h"

class cTooltips;

// Child control ids. Cancel is IDCANCEL so that Esc reaches it through the
// dialog manager; the order is the creation order (and so the z-order).
enum ControlId : int {
    cmdAbbrechen = IDCANCEL,
    FirstControlId = 1000,
    cmdZurück = FirstControlId,
    cmdWeiter,
    pic1,
    pic2,
    pic3,
    pic4,
    pic5,
    // welcome page
    lblWillkommen,
    Label10,
    Label11,
    imgBigPicture,
    // version check page
    Label19,
    lblHeaderExplanation1,
    lblMDACVerHeader,
    lblDownloadMDAC,
    lblVersionsContinue,
    lblMDACVerDescr,
    imgMDACVerOK,
    imgMDACVerProb,
    lblJetVerHeader,
    lblJetVerDescr,
    imgJetVerOK,
    imgJetVerProb,
    // repair page
    Label6,
    lblHeaderExplanation2,
    imgRepairing,
    imgDownArrow,
    cmdRepairMDAC,
    Label1,
    ProgressBar1,
    Label16,
    Label2,
    optResolved,
    optFurtherProblems,
    Label4,
    // file version page
    Label5,
    lblExplanation3,
    lvwMDACFiles,
    Label3,
    lblRepairUrl,
    // final page
    lblHeader4,
    Label14,
    EndOfControlIds
};

enum class ControlKind { Panel, Button, Label, Option, Icon, Picture, ProgressBar, ListView };
enum class FontRole { None, Normal, Bold, Title, Small };

// One control as laid out at design time, in twips relative to its parent.
struct ControlLayout {
    ControlId id;
    const char* name;
    ControlKind kind;
    ControlId parent;  // 0: the window itself
    int left, top, width, height;
    FontRole font;
    bool visible;
    bool enabled;
    int image;  // resource id of an icon or bitmap, 0 if none
};

const std::vector<ControlLayout>& DesignLayout();

enum class MousePointer { Default, Hourglass };

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
    HWND Control(ControlId id) noexcept;
    // The window's tooltip object, from start-up until the window is unloaded.
    const cTooltips* Tooltips() const noexcept { return tooltips_.get(); }
    int TwipsToPixelsX(int twips) const noexcept { return ::MulDiv(twips, dpiX_, 1440); }
    int TwipsToPixelsY(int twips) const noexcept { return ::MulDiv(twips, dpiY_, 1440); }

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
    void PaintPanel(HWND panel);

    void InitializeWindow();
    bool CreateControls();
    bool CreateControlsOn(ControlId parent);
    void LoadWindow();
    // Makes a later page that has not been made, unless the window is going away.
    void MakePage(ControlId panel);
    void LoadPage(ControlId panel);
    void PrepareFileList();
    // The control if it has been made, without making its page.
    HWND Made(ControlId id) const noexcept;
    void UnloadWindow();

    void OnCommand(int id, int code);
    void ShowWelcomePage();
    // step: the step in which Next was pressed.
    void ReportNextError(std::int32_t step, const std::wstring& description);
    void PressCancel();
    void RequestClose(int reason);

    // Hover help and tooltip
    void InstallHoverHandlers(ControlId panel);
    static LRESULT CALLBACK HoverLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR form);
    bool IsUnderlined(HWND label) const;
    void SetUnderline(HWND label, bool underline);
    void HoverOn(HWND label);
    void HoverOff();
    void OnLinkClick(ControlId id);
    bool SetLinkCursor(HWND under);
    void CreateTooltipObject();
    void ReleaseTooltipObject();
    void SetRepairPageTooltipTitle();
    void StartKeyCheck();
    void OnKeyCheckTimer();

    // Control helpers
    void SetText(ControlId id, const std::wstring& text);
    void SetVisible(ControlId id, bool visible);
    void SetEnabled(ControlId id, bool enabled);
    void MoveTo(ControlId id, int leftTwips, int topTwips);
    void MoveTop(ControlId id, int topTwips);
    // The control's own visible flag, whatever its page's place in the z-order.
    bool IsShown(ControlId id);
    void SetControlFontFace(ControlId id, const char* face);
    void SetMousePointer(MousePointer pointer);
    HFONT FontFor(const LOGFONTA& font);
    LOGFONTA DesignFont(FontRole role) const;
    const ControlLayout* LayoutOf(HWND control) const;
    bool IsOnWhiteBackground(HWND control) const;
    bool IsLinkLabel(HWND control) const;

    // Cancel's id lies outside the contiguous range; it takes the last slot.
    static constexpr size_t kSlotCount = EndOfControlIds - FirstControlId + 1;
    static size_t Slot(ControlId id) noexcept {
        return id == cmdAbbrechen ? kSlotCount - 1 : static_cast<size_t>(id - FirstControlId);
    }

    void SortFileList();

    HWND window_ = nullptr;
    std::array<HWND, kSlotCount> controls_{};
    std::array<bool, 5> pagesMade_{};  // pic1 to pic5
    // Makes the later pages in the first moment the shown window is idle, so
    // that neither the start-up nor the first Next waits for them.
    WindowTimer laterPagesTimer_{3, 100};
    bool unloading_ = false;
    UniqueImageList fileListImages_;  // imlMDACFiles
    UniqueCursor linkCursor_;
    std::unique_ptr<cTooltips> tooltips_;
    int fileListSortKey_ = 0;
    bool fileListSorted_ = false;
    std::array<LOGFONTA, kSlotCount> controlFonts_{};
    std::vector<std::pair<LOGFONTA, UniqueFont>> fonts_;
    std::vector<UniqueIcon> icons_;
    UniqueBitmap welcomePicture_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    MousePointer mousePointer_ = MousePointer::Default;
};
