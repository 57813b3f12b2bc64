#include "app/frmMain.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <exception>

#include "app/MessageCatalogue.h"
#include "resources/resource.h"
#include "ui/cTooltips.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

constexpr char kWindowClass[] = "MdacRepairWizard";
constexpr char kPanelClass[] = "MdacRepairPage";
constexpr int kClientWidthTwips = 7320;
constexpr int kClientHeightTwips = 4860;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Why the window is asked to close: QueryCloseWindow's reason.
constexpr int kClosedByUser = 0;
constexpr int kClosedBySessionEnd = 2;
constexpr int kClosedByTaskManager = 3;

// Start-up never stops: a step that fails is skipped and the next one runs.
template <typename Step>
void RunStep(const Step& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

HINSTANCE ProgramInstance() {
    return ::GetModuleHandleA(nullptr);
}

bool RegisterWindowClass(const char* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ProgramInstance();
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (procedure != nullptr && background == reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) {
        // Shared icons: the system owns them, nothing to release.
        windowClass.hIcon =
            static_cast<HICON>(::LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
        windowClass.hIconSm = static_cast<HICON>(::LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDI_APPLICATION_ICON),
                                                              IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                              ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    }
    return ::RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool SameFont(const LOGFONTA& a, const LOGFONTA& b) {
    return a.lfHeight == b.lfHeight && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfCharSet == b.lfCharSet &&
           std::strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

}  // namespace

frmMain::frmMain() = default;

frmMain::~frmMain() {
    if (window_ != nullptr) {
        // Teardown messages must not reach an object that is going away.
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        ReleaseTooltipObject();  // while its owner window still exists
        HWND window = window_;
        window_ = nullptr;
        ShellExecuteTimer.Detach();
        tmrTooltipRemoveCheck.Detach();
        laterPagesTimer_.Detach();
        ::DestroyWindow(window);
    }
}

HWND frmMain::Made(ControlId id) const noexcept {
    if (id != cmdAbbrechen && (id < FirstControlId || id >= EndOfControlIds)) return nullptr;
    return controls_[Slot(id)];
}

HWND frmMain::Control(ControlId id) noexcept {
    HWND control = Made(id);
    if (control != nullptr || window_ == nullptr || unloading_) return control;
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.id != id) continue;
        MakePage(layout.parent);
        control = Made(id);
        break;
    }
    return control;
}

void frmMain::MakePage(ControlId panel) {
    if (panel < pic1 || panel > pic5 || pagesMade_[panel - pic1] || window_ == nullptr || unloading_) return;
    // First, so that the page's own start-up steps find its controls made.
    pagesMade_[panel - pic1] = true;
    RunStep([&] { CreateControlsOn(panel); });
    RunStep([&] { LoadPage(panel); });
}

bool frmMain::Create() {
    if (window_ != nullptr) return true;
    pagesMade_.fill(false);
    unloading_ = false;
    InitializeWindow();
    if (!RegisterWindowClass(kWindowClass, &frmMain::WindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) ||
        !RegisterWindowClass(kPanelClass, &frmMain::PanelProc, nullptr)) {
        return false;
    }
    {
        WindowDC screen(nullptr);
        if (screen) {
            dpiX_ = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
            dpiY_ = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
        }
    }
    RECT frame{0, 0, TwipsToPixelsX(kClientWidthTwips), TwipsToPixelsY(kClientHeightTwips)};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    // Explicit coordinates: CW_USEDEFAULT would take y as the show command.
    HWND window = ::CreateWindowExA(0, kWindowClass, "", kWindowStyle, 0, 0, frame.right - frame.left,
                                    frame.bottom - frame.top, nullptr, nullptr, ProgramInstance(), this);
    if (window == nullptr) return false;
    if (!CreateControls()) {
        Unload();
        return false;
    }
    LoadWindow();
    return true;
}

void frmMain::Show() {
    if (window_ == nullptr) return;
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
    ::SetForegroundWindow(window_);
    HWND next = Control(cmdWeiter);
    if (next != nullptr && ::IsWindowEnabled(next)) ::SetFocus(next);
    laterPagesTimer_.SetEnabled(true);
}

void frmMain::InitializeWindow() {
    ::InitCommonControls();
}

LOGFONTA frmMain::DesignFont(FontRole role) const {
    LOGFONTA font{};
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfWeight = FW_NORMAL;
    int hundredthsOfPoint = 825;
    const char* face = "MS Sans Serif";
    switch (role) {
        case FontRole::Bold:
            font.lfWeight = FW_BOLD;
            break;
        case FontRole::Title:
            font.lfWeight = FW_BOLD;
            hundredthsOfPoint = 1200;
            face = "Arial";
            break;
        case FontRole::Small:
            hundredthsOfPoint = 675;
            break;
        default:
            break;
    }
    font.lfHeight = -::MulDiv(hundredthsOfPoint, dpiY_, 7200);
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return font;
}

HFONT frmMain::FontFor(const LOGFONTA& font) {
    for (const auto& entry : fonts_) {
        if (SameFont(entry.first, font)) return entry.second.get();
    }
    UniqueFont created(::CreateFontIndirectA(&font));
    if (!created) return nullptr;
    HFONT handle = created.get();
    fonts_.emplace_back(font, std::move(created));
    return handle;
}

bool frmMain::CreateControls() {
    // The button bar, the page panels and the welcome page; the other pages
    // are made when first needed, or in the first idle moment after the
    // window shows.
    pagesMade_[0] = true;
    if (!CreateControlsOn(static_cast<ControlId>(0)) || !CreateControlsOn(pic1)) return false;
    ::SetWindowTextA(Control(Label11), "\xA9 Velmorant Software GmbH");
    ShellExecuteTimer.Attach(window_);
    tmrTooltipRemoveCheck.Attach(window_);
    laterPagesTimer_.Attach(window_);
    return true;
}

// The controls laid out on one parent (0: the window), in the table's order,
// which is their z-order and tab order.
bool frmMain::CreateControlsOn(ControlId parent) {
    const HINSTANCE instance = ProgramInstance();
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.parent != parent) continue;
        HWND parentWindow = layout.parent == 0 ? window_ : Made(layout.parent);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        if (layout.visible) style |= WS_VISIBLE;
        if (!layout.enabled) style |= WS_DISABLED;
        DWORD exStyle = 0;
        const char* className = WC_STATICA;
        switch (layout.kind) {
            case ControlKind::Panel:
                className = kPanelClass;
                style |= WS_CLIPCHILDREN;
                break;
            case ControlKind::Button:
                className = WC_BUTTONA;
                style |= WS_TABSTOP | (layout.id == cmdWeiter ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
                break;
            case ControlKind::Option:
                className = WC_BUTTONA;
                style |= WS_TABSTOP | BS_AUTORADIOBUTTON | (layout.id == optResolved ? WS_GROUP : 0);
                break;
            case ControlKind::Label:
                // SS_NOTIFY: labels take the mouse themselves instead of passing it to the page.
                style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
                break;
            case ControlKind::Icon:
                style |= SS_ICON | SS_CENTERIMAGE;
                break;
            case ControlKind::Picture:
                style |= SS_BITMAP;
                break;
            case ControlKind::ProgressBar:
                className = PROGRESS_CLASSA;
                break;
            case ControlKind::ListView:
                className = WC_LISTVIEWA;
                // The window owns the image list; the list view only borrows it.
                style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
                exStyle |= WS_EX_CLIENTEDGE;
                break;
        }
        HWND control =
            ::CreateWindowExA(exStyle, className, "", style, TwipsToPixelsX(layout.left), TwipsToPixelsY(layout.top),
                              TwipsToPixelsX(layout.width), TwipsToPixelsY(layout.height), parentWindow,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance,
                              layout.kind == ControlKind::Panel ? this : nullptr);
        if (control == nullptr) return false;
        controls_[Slot(layout.id)] = control;

        if (layout.font != FontRole::None) {
            controlFonts_[Slot(layout.id)] = DesignFont(layout.font);
            ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(controlFonts_[Slot(layout.id)])),
                           FALSE);
        }
        if (layout.kind == ControlKind::Icon && layout.image != 0) {
            // Icons keep their natural pixel size; the control centres them.
            const int size = layout.width >= 480 ? 32 : 16;
            UniqueIcon icon(
                static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(layout.image), IMAGE_ICON, size, size, 0)));
            if (icon) {
                ::SendMessageA(control, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
                ::SetWindowPos(control, nullptr, 0, 0, TwipsToPixelsX(layout.width), TwipsToPixelsY(layout.height),
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                icons_.push_back(std::move(icon));
            }
        }
        if (layout.kind == ControlKind::Picture && layout.image != 0) {
            welcomePicture_.reset(
                static_cast<HBITMAP>(::LoadImageA(instance, MAKEINTRESOURCEA(layout.image), IMAGE_BITMAP, 0, 0, 0)));
            if (welcomePicture_) {
                ::SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(welcomePicture_.get()));
            }
        }
    }

    InstallHoverHandlers(parent);
    return true;
}

void frmMain::LoadWindow() {
    RunStep([&] {
        for (const ControlLayout& layout : DesignLayout()) {
            if (layout.font != FontRole::None && (layout.parent == 0 || layout.parent == pic1))
                SetControlFontFace(layout.id, "Tahoma");
        }
    });
    RunStep([&] { SetControlFontFace(lblWillkommen, "Arial"); });
    RunStep([&] { SystemDirectory = GetSystemDirectoryText(); });
    RunStep([&] { WindowsVersion = GetWindowsVersionKind(); });
    RunStep([&] {
        WindowDC screen(nullptr);
        if (screen && ::GetDeviceCaps(screen.get(), LOGPIXELSX) < 100) SmallFonts = true;
    });
    RunStep([&] {
        if (SmallFonts) MoveTo(imgBigPicture, -400, 0);
    });
    RunStep([&] { CreateTooltipObject(); });
    WizardStep = 1;

    RunStep([&] { ::SetWindowTextA(window_, ToAnsi(LoadMessage(msg::ProgramTitle)).c_str()); });
    const std::pair<ControlId, int> texts[] = {
        {lblWillkommen, msg::WelcomeTitle},
        {cmdAbbrechen, msg::CancelButton},
        {cmdWeiter, msg::NextButton},
        {cmdZurück, msg::BackButton},
    };
    for (const auto& [id, message] : texts)
        RunStep([&, id = id, message = message] { SetText(id, LoadMessage(message)); });
    RunStep(
        [&] { SetText(Label10, LoadMessage(msg::WelcomeIntro) + L"\r\r\r\r" + LoadMessage(msg::WelcomeContinue)); });
    ShowPage(pic1);
}

// A later page's share of the start-up, done when the page is first needed:
// its controls are in their start-up state before anything reads or changes them.
void frmMain::LoadPage(ControlId panel) {
    RunStep([&] {
        for (const ControlLayout& layout : DesignLayout()) {
            if (layout.font != FontRole::None && layout.parent == panel) SetControlFontFace(layout.id, "Tahoma");
        }
    });
    std::vector<std::pair<ControlId, int>> texts;
    switch (panel) {
        case pic2:
            texts = {{Label19, msg::Step1Heading}, {lblHeaderExplanation1, msg::VersionsDetected}};
            break;
        case pic3:
            RunStep([&] { ::SendMessageA(Made(optResolved), BM_SETCHECK, BST_CHECKED, 0); });
            RunStep([&] {
                SetText(Label1, FormatPlaceholders(LoadMessage(msg::ClickButton), {LoadMessage(msg::RepairButton)}));
            });
            texts = {{Label6, msg::Step2Heading},
                     {lblHeaderExplanation2, msg::ShouldVerifyFiles},
                     {cmdRepairMDAC, msg::RepairButton},
                     {Label2, msg::CheckProgramWorks},
                     {Label16, msg::ProblemsResolvedQuestion},
                     {optResolved, msg::AnswerResolved},
                     {optFurtherProblems, msg::AnswerStillProblems}};
            break;
        case pic4:
            RunStep([&] { PrepareFileList(); });
            texts = {{Label5, msg::Step3Heading}, {lblExplanation3, msg::IdentifyOldFiles}};
            break;
        case pic5:
            texts = {{lblHeader4, msg::ProblemResolvedHeading}, {Label14, msg::FarewellText}};
            break;
        default:
            break;
    }
    for (const auto& [id, message] : texts)
        RunStep([&, id = id, message = message] { SetText(id, LoadMessage(message)); });
}

// The file list's columns, images and extended styles, in place before the
// list is first filled.
void frmMain::PrepareFileList() {
    HWND list = Made(lvwMDACFiles);
    if (list == nullptr) return;
    // No text is cut, at 96 and 120 dpi: these hold MSDAENUM.DLL after its
    // icon, "Dateiversion" and the longest path under "Program Files (x86)",
    // with a few pixels to spare for other renderings of Tahoma; the list
    // scrolls sideways to show the path.
    const std::pair<int, int> columns[] = {
        {msg::FileNameCaption, 1740}, {msg::FileVersionCaption, 1170}, {msg::PathCaption, 5700}};
    int index = 0;
    for (const auto& [caption, widthTwips] : columns) {
        std::string text = ToAnsi(LoadMessage(caption));
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = text.data();
        column.cx = TwipsToPixelsX(widthTwips);
        column.iSubItem = index;
        ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        ++index;
    }
    // imlMDACFiles: the check mark and the warning sign, silver shown transparent.
    fileListImages_.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 0));
    UniqueBitmap strip(static_cast<HBITMAP>(
        ::LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDB_LIST_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (fileListImages_ && strip) {
        ::ImageList_AddMasked(fileListImages_.get(), strip.get(), RGB(192, 192, 192));
        ::SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(fileListImages_.get()));
    }
    const auto style = ::SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
}

void frmMain::ShowPage(ControlId panel) {
    HWND page = Control(panel);
    if (page == nullptr) return;
    MakePage(panel);
    // Only the page in front is visible: a covered page looks the same on
    // screen, but a screen reader would read its texts too. The others are
    // hidden before the new one shows, so that nothing reading the window in
    // between finds two pages; nothing paints in between either. The page goes
    // in front of the other pages but stays behind the button bar, so that the
    // buttons keep the first places in the tab order; only the front page
    // lets the keyboard into its controls.
    for (ControlId other : {pic1, pic2, pic3, pic4, pic5}) {
        HWND otherPage = Control(other);
        LONG_PTR exStyle = ::GetWindowLongPtrA(otherPage, GWL_EXSTYLE);
        exStyle =
            other == panel ? (exStyle | WS_EX_CONTROLPARENT) : (exStyle & ~static_cast<LONG_PTR>(WS_EX_CONTROLPARENT));
        ::SetWindowLongPtrA(otherPage, GWL_EXSTYLE, exStyle);
        if (other != panel) ::ShowWindow(otherPage, SW_HIDE);
    }
    ::SetWindowPos(page, Control(cmdAbbrechen), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void frmMain::Unload() {
    if (window_ != nullptr) ::DestroyWindow(window_);
}

void frmMain::QueryCloseWindow(bool& cancel, int reason) {
    if (reason != kClosedByUser) return;
    cancel = true;
    PressCancel();
}

void frmMain::RequestClose(int reason) {
    bool cancel = false;
    QueryCloseWindow(cancel, reason);
    if (!cancel) Unload();
}

void frmMain::UnloadWindow() {
    ReleaseTooltipObject();
    ShellExecuteTimer.SetEnabled(false);
    tmrTooltipRemoveCheck.SetEnabled(false);
    laterPagesTimer_.SetEnabled(false);
}

void frmMain::PressCancel() {
    // A disabled Cancel (during the repair run) cannot be pressed, by the
    // close box or the Esc key either.
    HWND cancelButton = Control(cmdAbbrechen);
    if (cancelButton != nullptr && ::IsWindowEnabled(cancelButton)) OnCancelClick();
}

// ---- control helpers --------------------------------------------------------------

void frmMain::SetText(ControlId id, const std::wstring& text) {
    HWND control = Control(id);
    if (control == nullptr) return;
    ::SetWindowTextA(control, ToAnsi(text).c_str());
    if (id == lblDownloadMDAC || id == lblRepairUrl) {
        // Link labels grow with the address they show.
        WindowDC dc(control);
        if (!dc) return;
        SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
        const std::string ansi = ToAnsi(text);
        RECT extent{};
        if (::DrawTextA(dc.get(), ansi.c_str(), static_cast<int>(ansi.size()), &extent,
                        DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX) != 0) {
            RECT bounds{};
            ::GetWindowRect(control, &bounds);
            ::SetWindowPos(control, nullptr, 0, 0, extent.right - extent.left + 4, bounds.bottom - bounds.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void frmMain::SetVisible(ControlId id, bool visible) {
    if (HWND control = Control(id)) ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void frmMain::SetEnabled(ControlId id, bool enabled) {
    if (HWND control = Control(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void frmMain::MoveTo(ControlId id, int leftTwips, int topTwips) {
    if (HWND control = Control(id)) {
        ::SetWindowPos(control, nullptr, TwipsToPixelsX(leftTwips), TwipsToPixelsY(topTwips), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void frmMain::MoveTop(ControlId id, int topTwips) {
    HWND control = Control(id);
    if (control == nullptr) return;
    RECT bounds{};
    ::GetWindowRect(control, &bounds);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    ::SetWindowPos(control, nullptr, bounds.left, TwipsToPixelsY(topTwips), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool frmMain::IsShown(ControlId id) {
    HWND control = Control(id);
    return control != nullptr && (::GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void frmMain::SetControlFontFace(ControlId id, const char* face) {
    HWND control = Control(id);
    if (control == nullptr) return;
    LOGFONTA font = controlFonts_[Slot(id)];
    std::memset(font.lfFaceName, 0, sizeof(font.lfFaceName));
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    HFONT handle = FontFor(font);
    if (handle == nullptr) return;  // keeps its font
    controlFonts_[Slot(id)] = font;
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
}

void frmMain::SetMousePointer(MousePointer pointer) {
    mousePointer_ = pointer;
    POINT cursor{};
    if (window_ != nullptr && ::GetCursorPos(&cursor)) {
        HWND under = ::WindowFromPoint(cursor);
        if (under == window_ || ::IsChild(window_, under)) {
            ::SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        }
    }
}

const ControlLayout* frmMain::LayoutOf(HWND control) const {
    if (control == nullptr) return nullptr;
    const int id = ::GetDlgCtrlID(control);
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.id == id && Made(layout.id) == control) return &layout;
    }
    return nullptr;
}

bool frmMain::IsLinkLabel(HWND control) const {
    return control != nullptr && (control == Made(lblDownloadMDAC) || control == Made(lblRepairUrl));
}

bool frmMain::IsOnWhiteBackground(HWND control) const {
    const ControlLayout* layout = LayoutOf(control);
    if (layout == nullptr) return false;
    if (layout->parent == pic1) return true;
    // Headings and their explanation lines sit in the white band of pages 2 to 5.
    return layout->parent >= pic2 && layout->parent <= pic5 && layout->top < 720 && layout->kind == ControlKind::Label;
}

// ---- window procedures --------------------------------------------------------------

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmMain*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->controls_.fill(nullptr);
        self->ShellExecuteTimer.Detach();
        self->tmrTooltipRemoveCheck.Detach();
        self->laterPagesTimer_.Detach();
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK frmMain::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmMain*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || message == WM_NCDESTROY) {
        if (message == WM_NCDESTROY) ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
            self->PaintPanel(window);
            return 0;
        case WM_MOUSEMOVE:
            // Of the pages only the version page takes the underline away.
            if (window == self->Control(pic2)) self->HoverOff();
            return 0;
        default: {
            LRESULT result = 0;
            if (self->HandleChildMessage(message, wParam, lParam, result)) return result;
            return ::DefWindowProcA(window, message, wParam, lParam);
        }
    }
}

bool frmMain::HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            result = 0;
            return true;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == Made(lvwMDACFiles) && header->code == LVN_COLUMNCLICK) {
                OnFileListColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
            }
            result = 0;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            const bool white = IsOnWhiteBackground(control);
            ::SetTextColor(dc, IsLinkLabel(control) ? RGB(0, 0, 255) : ::GetSysColor(COLOR_BTNTEXT));
            ::SetBkColor(dc, white ? RGB(255, 255, 255) : ::GetSysColor(COLOR_BTNFACE));
            // Stock and system-colour brushes are not owned by the program.
            result = reinterpret_cast<LRESULT>(white ? static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))
                                                     : ::GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        default:
            return false;
    }
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleChildMessage(message, wParam, lParam, result)) return result;
    switch (message) {
        case DM_GETDEFID: {
            // Enter clicks the push button that has the focus, otherwise Next.
            HWND focus = ::GetFocus();
            const int focusId = focus != nullptr && ::IsChild(window_, focus) ? ::GetDlgCtrlID(focus) : 0;
            const bool focusIsButton =
                focusId == cmdZurück || focusId == cmdWeiter || focusId == cmdAbbrechen || focusId == cmdRepairMDAC;
            return MAKELRESULT(focusIsButton ? focusId : cmdWeiter, DC_HASDEFID);
        }
        case WM_TIMER:
            if (wParam == ShellExecuteTimer.Id()) {
                OnShellExecuteTimer();
            } else if (wParam == tmrTooltipRemoveCheck.Id()) {
                OnKeyCheckTimer();
            } else if (wParam == laterPagesTimer_.Id()) {
                laterPagesTimer_.SetEnabled(false);
                for (ControlId page : {pic2, pic3, pic4, pic5}) MakePage(page);
            }
            return 0;
        case WM_PAINT:
            PaintWindow();
            return 0;
        case WM_SETCURSOR:
            if (mousePointer_ == MousePointer::Hourglass) {
                ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
                return TRUE;
            }
            if (LOWORD(lParam) == HTCLIENT && SetLinkCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
            break;
        case WM_MOUSEMOVE:
            HoverOff();
            return 0;
        case WM_SYSCOMMAND:
            // The close box, the system menu's Close and Alt+F4 all arrive as SC_CLOSE.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                RequestClose(kClosedByUser);
                return 0;
            }
            break;
        case WM_CLOSE:
            // Without SC_CLOSE before it, from outside: the task manager's End Task.
            RequestClose(kClosedByTaskManager);
            return 0;
        case WM_QUERYENDSESSION: {
            bool cancel = false;
            QueryCloseWindow(cancel, kClosedBySessionEnd);
            return cancel ? FALSE : TRUE;
        }
        case WM_ENDSESSION:
            if (wParam) Unload();
            return 0;
        case WM_DESTROY:
            unloading_ = true;  // no page is made for a window that is going away
            UnloadWindow();
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(window_, message, wParam, lParam);
}

void frmMain::OnCommand(int id, int code) {
    static_assert(BN_CLICKED == STN_CLICKED, "buttons and labels report clicks alike");
    if (code != BN_CLICKED) return;
    switch (id) {
        case lblDownloadMDAC:
        case lblRepairUrl:
            OnLinkClick(static_cast<ControlId>(id));
            break;
        case cmdWeiter:
            if (::IsWindowEnabled(Control(cmdWeiter))) OnNextClick();
            break;
        case cmdZurück:
            if (::IsWindowEnabled(Control(cmdZurück))) OnBackClick();
            break;
        case cmdAbbrechen:
            PressCancel();
            break;
        case cmdRepairMDAC:
            if (::IsWindowVisible(Control(cmdRepairMDAC)) && ::IsWindowEnabled(Control(cmdRepairMDAC))) {
                OnRepairClick();
            }
            break;
        default:
            break;
    }
}

// ---- painting ---------------------------------------------------------------------

void frmMain::PaintWindow() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window_, &paint);
    if (dc == nullptr) return;
    // The etched separator above the button bar.
    const int right = TwipsToPixelsX(8000);
    const std::pair<int, int> lines[] = {{4224, COLOR_3DSHADOW}, {4240, COLOR_3DHIGHLIGHT}};
    for (const auto& [topTwips, colour] : lines) {
        UniquePen pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(colour)));
        if (!pen) continue;
        SelectedObject selected(dc, pen.get());
        const int y = TwipsToPixelsY(topTwips);
        ::MoveToEx(dc, 0, y, nullptr);
        ::LineTo(dc, right, y);
    }
    ::EndPaint(window_, &paint);
}

void frmMain::PaintPanel(HWND panel) {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(panel, &paint);
    if (dc == nullptr) return;
    RECT client{};
    ::GetClientRect(panel, &client);
    const bool welcome = panel == Control(pic1);
    ::FillRect(dc, &client,
               welcome ? static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)) : ::GetSysColorBrush(COLOR_BTNFACE));
    if (!welcome) {
        // The white heading band of pages 2 to 5.
        RECT band{TwipsToPixelsX(-12), TwipsToPixelsY(-12), TwipsToPixelsX(-12 + 7440), TwipsToPixelsY(-12 + 732)};
        ::FillRect(dc, &band, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    ::EndPaint(panel, &paint);
}
