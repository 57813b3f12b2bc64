#include "tests/WizardHarness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace harness {

std::string Profile() {
    const char* profile = std::getenv("WIZARD_TEST_PROFILE");
    return profile != nullptr ? profile : "";
}

bool GermanInterface() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_GERMAN;
}

std::wstring Localized(const std::wstring& english, const std::wstring& german) {
    return GermanInterface() ? german : english;
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void Pump(frmMain& form, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        if (form.IsLoaded()) {
            form.ProcessPendingMessages();
        } else {
            MSG message{};
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        }
        ::Sleep(1);
    } while (::GetTickCount() - start < milliseconds);
}

bool PumpUntil(frmMain& form, const std::function<bool()>& condition, DWORD timeoutMilliseconds) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMilliseconds) return false;
        Pump(form, 5);
    }
    return true;
}

ControlId FrontPage(const frmMain& form) {
    // The highest page in the z-order, when it is the only visible one.
    ControlId front = static_cast<ControlId>(0);
    for (HWND child = ::GetWindow(form.hwnd(), GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        if (id < pic1 || id > pic5) continue;
        const bool visible = ::IsWindowVisible(child) != FALSE;
        if (front == 0) {
            if (!visible) return static_cast<ControlId>(0);
            front = static_cast<ControlId>(id);
        } else if (visible) {
            return static_cast<ControlId>(0);
        }
    }
    return front;
}

RECT RectInParent(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {
void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (const auto& [key, up] : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}
}  // namespace

void ClickLeftButton() {
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

void ClickWithMouse(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ClickLeftButton();
}

void MoveMouseTo(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    // Absolute input is in 0..65535 across the primary screen.
    input.mi.dx = ::MulDiv(point.x, 65536, ::GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = ::MulDiv(point.y, 65536, ::GetSystemMetrics(SM_CYSCREEN)) + 1;
    ::SendInput(1, &input, sizeof(INPUT));
}

void MoveMouseOver(HWND control) {
    RECT rect{};
    ::GetClientRect(control, &rect);
    MoveMouseTo(control, rect.right / 2, rect.bottom / 2);
}

void HoldKey(frmMain& form, WORD virtualKey, DWORD milliseconds) {
    SendKeys({{virtualKey, false}});
    Pump(form, milliseconds);
    SendKeys({{virtualKey, true}});
}

void PressKey(WORD virtualKey) {
    SendKeys({{virtualKey, false}, {virtualKey, true}});
}

void PressKeyWithAlt(WORD virtualKey) {
    SendKeys({{VK_MENU, false}, {virtualKey, false}, {virtualKey, true}, {VK_MENU, true}});
}

void PressKeyWithShift(WORD virtualKey) {
    SendKeys({{VK_SHIFT, false}, {virtualKey, false}, {virtualKey, true}, {VK_SHIFT, true}});
}

constexpr char kUrlLog[] = "C:\\opened-urls.txt";

void ClearOpenedUrls() {
    ::DeleteFileA(kUrlLog);
}  // absent is as good as deleted

std::vector<std::string> OpenedUrls() {
    std::vector<std::string> urls;
    std::ifstream log(kUrlLog);
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        urls.push_back(line);
    }
    return urls;
}

// ---- message boxes --------------------------------------------------------------------

namespace {
struct SeenBox {
    bool seen = false;
    int count = 0;
    HWND last = nullptr;
    std::wstring text;
    std::wstring caption;
    bool informationIcon = false;
};
SeenBox g_seenBox;

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, static_cast<int>(std::size(className)));
    if (std::wstring(className) == L"#32770" && ::IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr || box == g_seenBox.last) return;
    g_seenBox.last = box;
    ++g_seenBox.count;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (g_seenBox.seen) return;
    g_seenBox.seen = true;
    g_seenBox.caption = WindowText(box);
    g_seenBox.text = WindowText(::GetDlgItem(box, 0xFFFF));
    // The icon is the static control of the box that shows an icon.
    const auto information =
        reinterpret_cast<LRESULT>(::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_INFORMATION)));
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ::SendMessageW(child, STM_GETICON, 0, 0) == information) {
            g_seenBox.informationIcon = true;
        }
    }
}
}  // namespace

MessageBoxWatcher::MessageBoxWatcher() : timer_(::SetTimer(nullptr, 0, 50, AnswerMessageBox)) {
    g_seenBox = SeenBox{};
}
MessageBoxWatcher::~MessageBoxWatcher() {
    ::KillTimer(nullptr, timer_);
}
bool MessageBoxWatcher::Seen() const {
    return g_seenBox.seen;
}
int MessageBoxWatcher::Count() const {
    return g_seenBox.count;
}
std::wstring MessageBoxWatcher::Text() const {
    return g_seenBox.text;
}
std::wstring MessageBoxWatcher::Caption() const {
    return g_seenBox.caption;
}
bool MessageBoxWatcher::HadInformationIcon() const {
    return g_seenBox.informationIcon;
}

}  // namespace harness
