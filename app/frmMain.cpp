#include "app/frmMain.h"
#include "app/WindowResolution.h"

#include <windows.h>
#include <commctrl.h>

#include "winsupport/MessageCatalogue.h"
#include "resources/resource.h"
#include "ui/cTooltips.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

constexpr char kWindowClass[] = "MdacRepairWizard";
constexpr char kPanelClass[] = "MdacRepairPage";
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
constexpr int kClientWidthTwips = 7320;
constexpr int kClientHeightTwips = 4860;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

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

bool frmMain::Create() {
    if (window_ != nullptr) return true;
    InitializeWindow();
    if (!RegisterWindowClass(kWindowClass, &frmMain::WindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) ||
        !RegisterWindowClass(kPanelClass, &frmMain::PanelProc, nullptr)) {
        return false;
    }
    controls_.ReadScreenResolution();
    RECT frame = WindowFrameFor(controls_.Resolution(), kWindowStyle, kClientWidthTwips, kClientHeightTwips);
    // Explicit coordinates: CW_USEDEFAULT would take y as the show command.
    HWND window = ::CreateWindowExA(0, kWindowClass, "", kWindowStyle, 0, 0, frame.right - frame.left,
                                    frame.bottom - frame.top, nullptr, nullptr, ProgramInstance(), this);
    if (window == nullptr) return false;
    // Opened on a monitor of another resolution than the main one: sized for
    // it before anything is made.
    const int windowDpi = WindowResolution(window);
    if (windowDpi != 0 && windowDpi != controls_.Resolution()) {
        controls_.SetResolution(windowDpi);
        frame = WindowFrameFor(windowDpi, kWindowStyle, kClientWidthTwips, kClientHeightTwips);
        ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    controls_.Attach(window, kPanelClass, this, [this](ControlId panel) { LoadPage(panel); });
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

bool frmMain::CreateControls() {
    // The button bar, the page panels and the welcome page; the other pages
    // are made when first needed, or in the first idle moment after the
    // window shows.
    if (!controls_.MakeFirst(pic1)) return false;
    // Wide: byte A9 is the copyright sign in the Western code pages only.
    ::SetWindowTextW(Control(Label11), L"\u00A9 Velmorant Software GmbH");
    ShellExecuteTimer.Attach(window_);
    tmrTooltipRemoveCheck.Attach(window_);
    laterPagesTimer_.Attach(window_);
    accessible_.SetBeforeAnswer([this] { StartOle(); });
    DescribeControls();
    return true;
}

void frmMain::LoadWindow() {
    RunStep([&] { SystemDirectory = GetSystemDirectoryText(); });
    RunStep([&] { WindowsVersion = GetWindowsVersionKind(); });
    RunStep([&] {
        if (controls_.Resolution() < 100) SmallFonts = true;
    });
    RunStep([&] {
        if (SmallFonts) controls_.MoveTo(imgBigPicture, -400, 0);
    });
    WizardStep = 1;
    RunStep([&] { ::SetWindowTextA(window_, ToAnsi(LoadMessage(msg::ProgramTitle)).c_str()); });
    LoadPage(kWindowLevel);
    LoadPage(pic1);
    ShowPage(pic1);
}

// Texts and watched labels from the design; what the design cannot say.
// A later page's share runs when it is made: its controls are in their
// start-up state before anything reads or changes them.
void frmMain::LoadPage(ControlId panel) {
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.parent != panel) continue;
        if (layout.caption != 0) RunStep([&] { controls_.SetText(layout.id, LoadMessage(layout.caption)); });
        // A button over the bar's empty part takes the underline away, as the bar does.
        if ((layout.kind == ControlKind::Label || layout.kind == ControlKind::Button) &&
            (layout.traits & (kLink | kClearsHover)) != 0)
            RunStep([&] { links_.Watch(controls_.Made(layout.id), (layout.traits & kLink) != 0); });
    }
    switch (panel) {
        case pic1:
            RunStep([&] {
                controls_.SetText(Label10,
                                  LoadMessage(msg::WelcomeIntro) + L"\r\r\r\r" + LoadMessage(msg::WelcomeContinue));
            });
            break;
        case pic3:
            RunStep([&] { ::SendMessageA(controls_.Made(optResolved), BM_SETCHECK, BST_CHECKED, 0); });
            RunStep([&] {
                controls_.SetText(Label1,
                                  FormatPlaceholders(LoadMessage(msg::ClickButton), {LoadMessage(msg::RepairButton)}));
            });
            break;
        case pic4:
            RunStep([&] { PrepareFileList(); });
            break;
        default:
            break;
    }
}

void frmMain::UnloadWindow() {
    ReleaseTooltipObject();
    ShellExecuteTimer.SetEnabled(false);
    tmrTooltipRemoveCheck.SetEnabled(false);
    laterPagesTimer_.SetEnabled(false);
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
        self->controls_.Forget();
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
            if (self->controls_.Has(window, kClearsHover)) self->links_.HoverOff();
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
            if (header->hwndFrom == controls_.Made(lvwMDACFiles) && header->code == LVN_COLUMNCLICK) {
                OnFileListColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
            }
            result = 0;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            const bool white = controls_.Has(control, kOnWhite);
            ::SetTextColor(dc, controls_.Has(control, kLink) ? palette_.link
                               : white                       ? palette_.bandText
                                                             : palette_.faceText);
            ::SetBkColor(dc, white ? palette_.bandBack : palette_.faceBack);
            result = reinterpret_cast<LRESULT>(white ? palette_.bandBrush : palette_.faceBrush);
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
            const ControlLayout* focus = controls_.LayoutOf(::GetFocus());
            const bool focusIsButton = focus != nullptr && focus->kind == ControlKind::Button;
            return MAKELRESULT(focusIsButton ? focus->id : cmdWeiter, DC_HASDEFID);
        }
        case WM_TIMER:
            if (wParam == ShellExecuteTimer.Id()) {
                OnShellExecuteTimer();
            } else if (wParam == tmrTooltipRemoveCheck.Id()) {
                OnKeyCheckTimer();
            } else if (wParam == laterPagesTimer_.Id()) {
                laterPagesTimer_.SetEnabled(false);
                for (ControlId page : {pic2, pic3, pic4, pic5}) controls_.MakePage(page);
                DescribeControls();
                // The welcome page has no use for it either.
                RunStep([&] { CreateTooltipObject(); });
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
            if (LOWORD(lParam) == HTCLIENT && links_.SetCursorOver(reinterpret_cast<HWND>(wParam))) return TRUE;
            break;
        case WM_MOUSEMOVE:
            links_.HoverOff();
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
            OnColoursChanged(message, wParam, lParam);
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
            controls_.StopMaking();  // no page is made for a window that is going away
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
            KeepFocusInside();
            break;
        case cmdZurück:
            if (::IsWindowEnabled(Control(cmdZurück))) OnBackClick();
            KeepFocusInside();
            break;
        case cmdAbbrechen:
            PressCancel();
            break;
        case cmdWhichPrograms:
            if (::IsWindowVisible(Control(cmdWhichPrograms))) OnWhichProgramsClick();
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

void frmMain::OnColoursChanged(UINT message, WPARAM wParam, LPARAM lParam) {
    palette_ = PaletteFor(HighContrastOn());
    // The common controls learn of new colours only from their parent.
    if (message == WM_SYSCOLORCHANGE) {
        for (ControlId id : {lvwMDACFiles, ProgressBar1}) {
            if (HWND control = controls_.Made(id)) ::SendMessageW(control, message, wParam, lParam);
        }
    }
    // Every page, the hidden ones too, paints with the new colours when shown.
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

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
    const bool welcome = controls_.Has(panel, kOnWhite);
    ::FillRect(dc, &client, welcome ? palette_.bandBrush : palette_.faceBrush);
    if (!welcome) {
        // The white heading band of pages 2 to 5.
        RECT band{TwipsToPixelsX(-12), TwipsToPixelsY(-12), TwipsToPixelsX(-12 + 7440), TwipsToPixelsY(-12 + 732)};
        ::FillRect(dc, &band, palette_.bandBrush);
    }
    ::EndPaint(panel, &paint);
}
