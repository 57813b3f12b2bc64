#include "app/InventoryWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <iterator>
#include <utility>

#include "app/WizardControls.h"
#include "repair/ClassCheck.h"
#include "resources/resource.h"
#include "winsupport/Clipboard.h"
#include "winsupport/LateImports.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/Waits.h"

namespace {

constexpr UINT kInventoryRead = WM_APP + 1;
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// In twips, scaled as the wizard's own.
constexpr int kClientWidth = 8400;
constexpr int kClientHeight = 5400;
constexpr int kMinimumWidth = 6000;
constexpr int kMinimumHeight = 3600;
constexpr int kMargin = 120;
constexpr int kGap = 90;
constexpr int kButtonHeight = 336;
constexpr int kCheckWidth = 1800;
constexpr int kButtonWidth = 1200;
constexpr int kLineHeight = 195;
constexpr int kColumnTwips[] = {2700, 1650, 1650, 6000};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// What the Open dialog offers first: what IdentifyProgram answers for.
constexpr wchar_t kProgramPatterns[] =
    L"*.exe;*.com;*.lnk;*.vbs;*.vbe;*.js;*.jse;*.wsf;*.hta;*.ps1;*.mdb;*.accdb;*.xls;*.xlsx;*.xlsm;*.xlsb";

HINSTANCE ProgramInstance() {
    return ::GetModuleHandleW(nullptr);
}

bool RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ProgramInstance();
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kInventoryWindowClass;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The frame for a client area, centred on the owner and kept on its monitor.
RECT PlaceFrame(HWND owner, int clientWidth, int clientHeight) {
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    RECT area{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        area = monitor.rcWork;
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = std::min<int>(frame.right - frame.left, area.right - area.left);
    const int height = std::min<int>(frame.bottom - frame.top, area.bottom - area.top);
    RECT around{};
    ::GetWindowRect(owner, &around);
    int left = (around.left + around.right - width) / 2;
    int top = (around.top + around.bottom - height) / 2;
    left = std::max<int>(area.left, std::min<int>(left, area.right - width));
    top = std::max<int>(area.top, std::min<int>(top, area.bottom - height));
    return RECT{left, top, left + width, top + height};
}

}  // namespace

// What the reading thread and the window share; the window waits for the
// thread before this goes.
struct frmInventory::Reading {
    ComponentFileTable catalogue;
    HWND notify = nullptr;
    std::atomic<bool> stop{false};
    Inventory inventory;
};

unsigned WINAPI frmInventory::ReadingThread(void* parameter) {
    auto* reading = static_cast<Reading*>(parameter);
    try {
        // The classes are created in a checking process, as /check does, and
        // the registry is read meanwhile.
        InventoryReading registry;
        const std::vector<ClassReport> created =
            CheckClasses(CreatedClasses(), reading->catalogue, [reading] { return !reading->stop.load(); });
        Inventory inventory = registry.Finish(created);
        if (!reading->stop.load()) reading->inventory = std::move(inventory);
    } catch (...) {
        // An inventory that could not be read shows empty.
    }
    ::PostMessageW(reading->notify, kInventoryRead, 0, reinterpret_cast<LPARAM>(reading));
    return 0;
}

frmInventory::frmInventory(HWND owner, int dpi, ComponentFileTable catalogue)
    : owner_(owner), dpi_(dpi > 0 ? dpi : 96), catalogue_(std::move(catalogue)) {}

frmInventory::~frmInventory() {
    StopReading();
    if (window_) {
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
        window_.reset();  // before the font and the images it shows
    }
}

bool frmInventory::Create() {
    if (!RegisterWindowClass(&frmInventory::WindowProc)) return false;
    const RECT frame = PlaceFrame(owner_, Pixels(kClientWidth), Pixels(kClientHeight));
    HWND window = ::CreateWindowExW(kExStyle, kInventoryWindowClass, LoadMessage(msg::InventoryTitle).c_str(), kStyle,
                                    frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top, owner_,
                                    nullptr, ProgramInstance(), this);
    if (window == nullptr) return false;
    window_.reset(window);
    // In this order: it is the tab order.
    const DWORD child = WS_CHILD | WS_VISIBLE;
    MakeControl(lblInventoryAnswer, WC_STATICW, child | SS_LEFT | SS_NOPREFIX, LoadMessage(msg::InventoryIntro));
    HWND list =
        MakeControl(lvwInventory, WC_LISTVIEWW,
                    child | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, L"");
    if (list != nullptr) {
        ::SetWindowLongPtrW(list, GWL_EXSTYLE, ::GetWindowLongPtrW(list, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
        // Its rows say their states in words already; the list needs a name.
        AccessibleFacts facts;
        facts.kind = AccessibleKind::List;
        facts.name = LoadMessage(msg::InventoryListName);
        accessible_.Describe(list, facts);
    }
    MakeControl(cmdCheckProgram, WC_BUTTONW, child | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON,
                LoadMessage(msg::CheckProgramButton));
    MakeControl(cmdCopyReport, WC_BUTTONW, child | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON,
                LoadMessage(msg::CopyButton));
    MakeControl(lblInventoryStatus, WC_STATICW, child | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                LoadMessage(msg::ReadingInventory));
    MakeControl(cmdCloseInventory, WC_BUTTONW, child | WS_TABSTOP | BS_PUSHBUTTON, LoadMessage(msg::CloseButton));
    std::vector<FileListColumn> columns;
    const int captions[] = {msg::ItemCaption, msg::Programs32Caption, msg::Programs64Caption, msg::NoteCaption};
    for (size_t column = 0; column < std::size(captions); ++column)
        columns.push_back({LoadMessage(captions[column]), Pixels(kColumnTwips[column])});
    list_.Prepare(list, columns, IDB_LIST_IMAGES, ListImageSizeFor(dpi_));
    ApplyResolution();
    return true;
}

HWND frmInventory::MakeControl(int id, const wchar_t* className, DWORD style, const std::wstring& text) {
    return ::CreateWindowExW(0, className, text.c_str(), style, 0, 0, 0, 0, window_.get(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ProgramInstance(), nullptr);
}

void frmInventory::ApplyResolution() {
    const LOGFONTA design = DesignFont(FontRole::Normal, dpi_);
    UniqueFont font(::CreateFontIndirectA(&design));
    for (const InventoryControlName& control : kInventoryControls)
        ::SendMessageW(Item(control.id), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    // The old font goes once no control shows it.
    font_ = std::move(font);
    std::vector<int> widths;
    for (const int twips : kColumnTwips) widths.push_back(Pixels(twips));
    list_.Rescale(widths, IDB_LIST_IMAGES, ListImageSizeFor(dpi_));
    Layout();
}

void frmInventory::Layout() {
    if (!window_) return;  // sized while it is made
    RECT client{};
    ::GetClientRect(window_.get(), &client);
    const int margin = Pixels(kMargin);
    const int gap = Pixels(kGap);
    const int width = client.right - 2 * margin;
    // The answer takes the lines it needs, up to a third of the window.
    int answerHeight = Pixels(2 * kLineHeight);
    {
        WindowDC dc(Item(lblInventoryAnswer));
        SelectedObject font(dc.get(), font_.get());
        const std::wstring text = TextOf(Item(lblInventoryAnswer));
        RECT needed{0, 0, width, 0};
        ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        answerHeight = std::max(answerHeight, static_cast<int>(needed.bottom));
        answerHeight = std::min(answerHeight, static_cast<int>(client.bottom / 3));
    }
    const int buttonHeight = Pixels(kButtonHeight);
    const int buttonTop = client.bottom - margin - buttonHeight;
    const int listTop = margin + answerHeight + gap;
    const auto place = [&](int id, int left, int top, int w, int h) {
        ::SetWindowPos(Item(id), nullptr, left, top, std::max(w, 0), std::max(h, 0), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(lblInventoryAnswer, margin, margin, width, answerHeight);
    place(lvwInventory, margin, listTop, width, buttonTop - gap - listTop);
    const int checkWidth = Pixels(kCheckWidth);
    const int buttonWidth = Pixels(kButtonWidth);
    place(cmdCheckProgram, margin, buttonTop, checkWidth, buttonHeight);
    const int copyLeft = margin + checkWidth + gap;
    place(cmdCopyReport, copyLeft, buttonTop, buttonWidth, buttonHeight);
    const int closeLeft = client.right - margin - buttonWidth;
    const int statusLeft = copyLeft + buttonWidth + 2 * gap;
    const int lineHeight = Pixels(kLineHeight);
    place(lblInventoryStatus, statusLeft, buttonTop + (buttonHeight - lineHeight) / 2, closeLeft - gap - statusLeft,
          lineHeight);
    place(cmdCloseInventory, closeLeft, buttonTop, buttonWidth, buttonHeight);
}

void frmInventory::ShowModal() {
    if (!Create()) return;
    ::EnableWindow(owner_, FALSE);
    ::ShowWindow(window_.get(), SW_SHOWNORMAL);
    ::SetFocus(Item(lvwInventory));
    open_ = true;
    StartReading();
    MSG message{};
    while (open_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the wizard's own loop
            break;
        }
        if (got == -1) break;
        if (window_ && ::IsDialogMessageW(window_.get(), &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    // Enabled first, so that the wizard is activated again when this goes.
    ::EnableWindow(owner_, TRUE);
    window_.reset();
    StopReading();
}

void frmInventory::StartReading() {
    reading_ = std::make_unique<Reading>();
    reading_->catalogue = catalogue_;
    reading_->notify = window_.get();
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, &frmInventory::ReadingThread, reading_.get(), 0, nullptr);
    if (thread == 0) {
        reading_.reset();
        OnRead();
        return;
    }
    thread_.reset(reinterpret_cast<HANDLE>(thread));
}

void frmInventory::StopReading() noexcept {
    if (!thread_) return;
    reading_->stop = true;
    // The check in progress ends within its time limit; a component's
    // broadcast meanwhile is answered.
    WaitTakingSentMessages({thread_.get()}, INFINITE);
    thread_.reset();
}

void frmInventory::OnRead() {
    if (thread_) {
        ::WaitForSingleObject(thread_.get(), INFINITE);  // it has posted its last word
        thread_.reset();
    }
    if (reading_) inventory_ = std::move(reading_->inventory);
    reading_.reset();
    read_ = true;
    Fill();
    SetStatus(L"");
    ::EnableWindow(Item(cmdCheckProgram), TRUE);
    ::EnableWindow(Item(cmdCopyReport), TRUE);
}

void frmInventory::Fill() {
    rows_ = InventoryRows(inventory_, program_ ? &*program_ : nullptr);
    std::vector<ListRow> rows;
    rows.reserve(rows_.size());
    for (const InventoryRow& row : rows_) {
        rows.push_back({{row.item, row.bits32, row.bits64, row.note}, row.fault ? FileListView::kMismatchImage : -1});
    }
    list_.Fill(rows);
}

void frmInventory::SetStatus(const std::wstring& text) {
    ::SetWindowTextW(Item(lblInventoryStatus), text.c_str());
}

void frmInventory::OnCheckProgram() {
    std::wstring filter = LoadMessage(msg::ProgramFilesFilter);
    filter += L'\0';
    filter += kProgramPatterns;
    filter += L'\0';
    filter += LoadMessage(msg::AllFilesFilter);
    filter += L'\0';
    filter += L"*.*";
    filter += L'\0';
    const std::wstring title = LoadMessage(msg::CheckProgramTitle);
    std::wstring path(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = window_.get();
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = path.data();
    request.nMaxFile = static_cast<DWORD>(path.size());
    request.lpstrTitle = title.c_str();
    // A shortcut is asked about as itself; the program's own current
    // directory stays where it was.
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                    OFN_NODEREFERENCELINKS | OFN_DONTADDTORECENT;
    const bool picked = late::GetOpenFileNameW(&request) != FALSE;
    // The dialog does not always hand the focus back on its way out.
    ::SetFocus(Item(cmdCheckProgram));
    if (!picked) return;
    path.resize(std::wcslen(path.c_str()));
    const ProgramIdentity identity = IdentifyProgram(path);
    if (identity.hosts.empty()) {
        program_.reset();
        answer_ = identity.reason;
    } else {
        program_ = AnswerForProgram(identity, inventory_);
        answer_ = AnswerText(*program_);
    }
    // Laid out for the new answer before the list is filled again, which
    // takes a moment: the answer never spills over the list meanwhile.
    ::SetWindowTextW(Item(lblInventoryAnswer), answer_.c_str());
    Layout();
    Fill();
    SetStatus(L"");
}

void frmInventory::OnCopy() {
    const bool copied = PutTextOnClipboard(window_.get(), InventoryReportText(rows_, answer_));
    SetStatus(LoadMessage(copied ? msg::ReportCopied : msg::ReportNotCopied));
}

LRESULT CALLBACK frmInventory::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<frmInventory*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmInventory*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Gone with the wizard, or by this object's own hand.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_.release();
        self->open_ = false;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT frmInventory::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return 0;
            switch (LOWORD(wParam)) {
                case cmdCloseInventory:
                    open_ = false;
                    break;
                case cmdCheckProgram:
                    if (read_) OnCheckProgram();
                    break;
                case cmdCopyReport:
                    if (read_) OnCopy();
                    break;
                default:
                    break;
            }
            return 0;
        case DM_GETDEFID: {
            // Enter presses the focused button; elsewhere it does nothing.
            HWND focus = ::GetFocus();
            const int id = ::GetDlgCtrlID(focus);
            const bool button = ::GetParent(focus) == window &&
                                (id == cmdCheckProgram || id == cmdCopyReport || id == cmdCloseInventory);
            return button ? MAKELRESULT(id, DC_HASDEFID) : 0;
        }
        case kInventoryRead:
            // Only this window's own reading: a window closed early leaves its word behind.
            if (reading_ && lParam == reinterpret_cast<LPARAM>(reading_.get())) OnRead();
            return 0;
        case WM_ACTIVATE:
            // As a dialog does: the control that had the focus gets it back.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus != nullptr && ::IsChild(window, focus)) focus_ = focus;
            } else {
                ::SetFocus(focus_ != nullptr && ::IsChild(window, focus_) ? focus_ : Item(lvwInventory));
            }
            return 0;
        case WM_CLOSE:
            open_ = false;
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            RECT smallest{0, 0, Pixels(kMinimumWidth), Pixels(kMinimumHeight)};
            ::AdjustWindowRectEx(&smallest, kStyle, FALSE, kExStyle);
            limits->ptMinTrackSize = POINT{smallest.right - smallest.left, smallest.bottom - smallest.top};
            return 0;
        }
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            ApplyResolution();
            return 0;
        }
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
