// Reads what the wizard, running as a process of its own, shows on screen and
// prints it as lines, for end-to-end tests that drive the wizard from outside.
// It stays running and answers one command per input line; every answer ends
// with a line holding a single ".":
//   state    the window, the front page, the focus, every control with its
//            parent, its own visible and enabled flags, whether it can be
//            seen (it and every window above it visible, as assistive
//            technology reads the window), screen rectangle and text, and
//            any other window of the process (message boxes)
//   checks   the two answer options' check marks
//   rows     the file list's columns and rows
//   inventory the window of what programs can use: its frame, focus,
//            controls and list rows, as for the wizard
//   clipboard the text on the clipboard
//   accessible [NAME] what a screen reader reads of each control (and of
//            the inventory's list), or of the one named: role, children,
//            name, value, default action and the first child's name
//   closebox a screen point on the close button that the window frame draws
//   quit     ends the inspector
// Texts and window states are read without messages, so that a wizard busy in
// its repair run answers at once; check marks and list rows need messages.
// Texts are UTF-8 with backslash, CR, LF and tab escaped.

#include <windows.h>
#include <commctrl.h>
#include <initguid.h>  // before oleacc.h, or IID_IAccessible is no GUID
#include <oleacc.h>

#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/ControlLayout.h"
#include "app/InventoryWindow.h"
#include "winsupport/Handles.h"

namespace {

constexpr UINT kMessageTimeout = 3000;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int needed =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), needed, nullptr,
                          nullptr);
    return result;
}

std::string Escaped(const std::wstring& text) {
    std::string result;
    for (char c : Utf8(text)) {
        switch (c) {
            case '\\':
                result += "\\\\";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\t':
                result += "\\t";
                break;
            default:
                result += c;
                break;
        }
    }
    return result;
}

void Emit(const std::string& line) {
    static_cast<void>(std::fwrite(line.data(), 1, line.size(), stdout));
    static_cast<void>(std::fputc('\n', stdout));
}

// The text the window holds, read without sending it a message.
std::wstring StoredText(HWND window) {
    wchar_t buffer[4096] = {};
    const int length = ::InternalGetWindowText(window, buffer, static_cast<int>(std::size(buffer)));
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string RectText(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    char text[64];
    static_cast<void>(
        std::snprintf(text, sizeof(text), "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right, rect.bottom));
    return text;
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

// Memory in the wizard's process for list view requests, whose pointers the
// control uses in its own address space.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size) noexcept
        : process_(process), address_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer() {
        if (address_ != nullptr) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    void* get() const noexcept { return address_; }
    explicit operator bool() const noexcept { return address_ != nullptr; }

private:
    HANDLE process_;
    void* address_;
};

struct RemoteRequest {
    union {
        LVITEMW item;
        LVCOLUMNW column;
    };
    wchar_t text[1024];
};

// A list view's columns, then its rows: each row's image and every column's text.
void ListRows(HWND list, DWORD processId) {
    UniqueKernelHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (list == nullptr || !process) {
        Emit("error no list");
        return;
    }
    RemoteBuffer remote(process.get(), sizeof(RemoteRequest));
    if (!remote) {
        Emit("error no remote memory");
        return;
    }
    auto* base = static_cast<RemoteRequest*>(remote.get());
    const auto ask = [&](UINT message, WPARAM wParam, RemoteRequest& request) {
        SIZE_T moved = 0;
        if (!::WriteProcessMemory(process.get(), base, &request, sizeof(request), &moved)) return false;
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(list, message, wParam, reinterpret_cast<LPARAM>(base), SMTO_ABORTIFHUNG,
                                   kMessageTimeout, &result))
            return false;
        if (!::ReadProcessMemory(process.get(), base, &request, sizeof(request), &moved)) return false;
        request.text[std::size(request.text) - 1] = L'\0';
        return result != 0;
    };
    int columns = 0;
    for (;; ++columns) {
        RemoteRequest request{};
        request.column.mask = LVCF_TEXT | LVCF_WIDTH;
        request.column.pszText = base->text;
        request.column.cchTextMax = static_cast<int>(std::size(request.text));
        if (!ask(LVM_GETCOLUMNW, static_cast<WPARAM>(columns), request)) break;
        Emit("column " + std::to_string(columns) + " width=" + std::to_string(request.column.cx) +
             " text=" + Escaped(request.text));
    }
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &count);
    for (int row = 0; row < static_cast<int>(count); ++row) {
        std::string line = "row";
        RemoteRequest request{};
        request.item.mask = LVIF_IMAGE;
        request.item.iItem = row;
        ask(LVM_GETITEMW, 0, request);
        line += " image=" + std::to_string(request.item.iImage);
        for (int column = 0; column < columns; ++column) {
            RemoteRequest text{};
            text.item.iSubItem = column;
            text.item.pszText = base->text;
            text.item.cchTextMax = static_cast<int>(std::size(text.text));
            ask(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), text);
            line += "\t" + Escaped(text.text);
        }
        Emit(line);
    }
}

// The window of what programs can use, owned by the wizard.
void InventoryWindow() {
    HWND window = ::FindWindowW(kInventoryWindowClass, nullptr);
    if (window == nullptr) {
        Emit("inventory present=0");
        return;
    }
    DWORD processId = 0;
    const DWORD threadId = ::GetWindowThreadProcessId(window, &processId);
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    Emit("inventory present=1 visible=" + Flag(style & WS_VISIBLE) + " enabled=" + Flag(!(style & WS_DISABLED)) +
         " rect=" + RectText(window) + " title=" + Escaped(StoredText(window)));
    const auto nameOf = [window](HWND control) -> std::string {
        if (control == window) return "window";
        for (const InventoryControlName& known : kInventoryControls) {
            if (::GetDlgItem(window, known.id) == control && control != nullptr) return known.name;
        }
        return control == nullptr ? "none" : "other";
    };
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    if (::GetGUIThreadInfo(threadId, &gui)) {
        Emit("focus " + nameOf(gui.hwndFocus));
        Emit("active " + nameOf(gui.hwndActive));
    }
    for (const InventoryControlName& known : kInventoryControls) {
        HWND control = ::GetDlgItem(window, known.id);
        if (control == nullptr) continue;
        const LONG_PTR controlStyle = ::GetWindowLongPtrW(control, GWL_STYLE);
        Emit(std::string("control ") + known.name + " parent=window visible=" + Flag(controlStyle & WS_VISIBLE) +
             " seen=" + Flag(::IsWindowVisible(control)) + " enabled=" + Flag(!(controlStyle & WS_DISABLED)) +
             " rect=" + RectText(control) + " text=" + Escaped(StoredText(control)));
    }
    ListRows(::GetDlgItem(window, lvwInventory), processId);
}

void Clipboard() {
    if (!::OpenClipboard(nullptr)) {
        Emit("error clipboard not opened");
        return;
    }
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const auto* text = data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
    Emit("clipboard " + (text != nullptr ? Escaped(text) : std::string()));
    if (text != nullptr) ::GlobalUnlock(data);
    ::CloseClipboard();
}

std::wstring TakeText(BSTR text) {
    std::wstring result = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return result;
}

// As a screen reader asks: from another process, through the control's
// object, which its program may have answered with one of its own.
void EmitAccessible(const std::string& name, HWND control) {
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(&object))) ||
        object == nullptr) {
        Emit("acc " + name + "\terror");
        return;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{};
    long role_number = 0;
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) role_number = role.lVal;
    long children = 0;
    object->get_accChildCount(&children);
    BSTR text = nullptr;
    const std::wstring accName = SUCCEEDED(object->get_accName(self, &text)) ? TakeText(text) : L"";
    text = nullptr;
    const std::wstring value = SUCCEEDED(object->get_accValue(self, &text)) ? TakeText(text) : L"";
    text = nullptr;
    const std::wstring action = SUCCEEDED(object->get_accDefaultAction(self, &text)) ? TakeText(text) : L"";
    std::wstring first;
    if (children > 0) {
        VARIANT child{};
        child.vt = VT_I4;
        child.lVal = 1;
        text = nullptr;
        if (SUCCEEDED(object->get_accName(child, &text))) first = TakeText(text);
    }
    // Kept to the end: under Wine 8 the wizard's apartment can deadlock
    // when a proxy's last release reaches it while it serves another call
    // (its stub manager waits for calls that wait for its thread). The
    // inspector's few hundred proxies go with its process.
    static std::vector<IAccessible*> held;
    held.push_back(object);
    Emit("acc " + name + "\t" + std::to_string(role_number) + "\t" + std::to_string(children) + "\t" +
         Escaped(accName) + "\t" + Escaped(value) + "\t" + Escaped(action) + "\t" + Escaped(first));
}

class Wizard {
public:
    bool Find() {
        window_ = ::FindWindowW(L"MdacRepairWizard", nullptr);
        controls_.clear();
        if (window_ == nullptr) return false;
        threadId_ = ::GetWindowThreadProcessId(window_, &processId_);
        ::EnumChildWindows(window_, &Wizard::CollectControl, reinterpret_cast<LPARAM>(this));
        return true;
    }

    HWND Control(int id) const {
        const auto found = controls_.find(id);
        return found == controls_.end() ? nullptr : found->second;
    }

    const char* NameOf(HWND control) const {
        if (control == window_) return "window";
        for (const ControlLayout& layout : DesignLayout()) {
            if (Control(layout.id) == control) return layout.name;
        }
        return control == nullptr ? "none" : "other";
    }

    void State() const {
        const LONG_PTR style = ::GetWindowLongPtrW(window_, GWL_STYLE);
        Emit("window present=1 pid=" + std::to_string(processId_) + " visible=" + Flag(style & WS_VISIBLE) +
             " enabled=" + Flag(!(style & WS_DISABLED)) + " rect=" + RectText(window_) +
             " title=" + Escaped(StoredText(window_)));
        // The page panel highest in the z-order is the one in front.
        for (HWND child = ::GetWindow(window_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
            const int id = ::GetDlgCtrlID(child);
            if (id >= pic1 && id <= pic5) {
                Emit(std::string("front ") + NameOf(child));
                break;
            }
        }
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        if (::GetGUIThreadInfo(threadId_, &gui)) {
            Emit(std::string("focus ") + NameOf(gui.hwndFocus));
            Emit(std::string("active ") + NameOf(gui.hwndActive));
        }
        for (const ControlLayout& layout : DesignLayout()) {
            HWND control = Control(layout.id);
            if (control == nullptr) {
                Emit(std::string("control ") + layout.name + " missing=1");
                continue;
            }
            const LONG_PTR controlStyle = ::GetWindowLongPtrW(control, GWL_STYLE);
            Emit(std::string("control ") + layout.name + " parent=" + NameOf(::GetParent(control)) +
                 " visible=" + Flag(controlStyle & WS_VISIBLE) + " seen=" + Flag(::IsWindowVisible(control)) +
                 " enabled=" + Flag(!(controlStyle & WS_DISABLED)) + " rect=" + RectText(control) +
                 " text=" + Escaped(StoredText(control)));
        }
        Popups();
    }

    void Checks() const {
        std::string line = "checks";
        for (ControlId id : {optResolved, optFurtherProblems}) {
            DWORD_PTR state = 0;
            ::SendMessageTimeoutW(Control(id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &state);
            line += std::string(" ") + NameOf(Control(id)) + "=" + Flag(state == BST_CHECKED);
        }
        Emit(line);
    }

    void Rows() const;
    void CloseBox() const;

    // Every control, or the one named: a wizard in its run answers between
    // two steps only.
    void Accessible(const std::string& only) const {
        for (const ControlLayout& layout : DesignLayout()) {
            HWND control = Control(layout.id);
            if (control != nullptr && (only.empty() || only == layout.name)) EmitAccessible(layout.name, control);
        }
        HWND inventory = ::FindWindowW(kInventoryWindowClass, nullptr);
        if (inventory != nullptr && (only.empty() || only == "lvwInventory"))
            EmitAccessible("lvwInventory", ::GetDlgItem(inventory, lvwInventory));
    }

private:
    static BOOL CALLBACK CollectControl(HWND child, LPARAM self) {
        reinterpret_cast<Wizard*>(self)->controls_[::GetDlgCtrlID(child)] = child;
        return TRUE;
    }

    struct PopupSearch {
        const Wizard* self;
        std::vector<HWND> found;
    };

    static BOOL CALLBACK CollectPopup(HWND top, LPARAM data) {
        auto* search = reinterpret_cast<PopupSearch*>(data);
        DWORD process = 0;
        ::GetWindowThreadProcessId(top, &process);
        const bool wanted =
            search->self->processId_ != 0 ? process == search->self->processId_ : process != ::GetCurrentProcessId();
        if (wanted && top != search->self->window_ && ::IsWindowVisible(top)) search->found.push_back(top);
        return TRUE;
    }

public:
    // Windows of the wizard's process other than the wizard, with their
    // texts; without a wizard, the visible windows of every other process.
    void Popups() const {
        PopupSearch search{this, {}};
        ::EnumWindows(&Wizard::CollectPopup, reinterpret_cast<LPARAM>(&search));
        for (HWND popup : search.found) {
            wchar_t className[128] = {};
            ::GetClassNameW(popup, className, static_cast<int>(std::size(className)));
            std::wstring texts;
            for (HWND child = ::GetWindow(popup, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
                const std::wstring text = StoredText(child);
                if (!text.empty()) texts += (texts.empty() ? L"" : L"|") + text;
            }
            Emit("popup class=" + Escaped(className) + " rect=" + RectText(popup) +
                 " title=" + Escaped(StoredText(popup)) + " texts=" + Escaped(texts));
        }
    }

private:
    HWND window_ = nullptr;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    std::map<int, HWND> controls_;
};

void Wizard::Rows() const {
    ListRows(Control(lvwMDACFiles), processId_);
}

void Wizard::CloseBox() const {
    // The frame is drawn by the system: ask it where the close button is.
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    for (LONG y = frame.top + 2; y < frame.top + 40; y += 2) {
        LONG first = -1, last = -1;
        for (LONG x = frame.right - 1; x > frame.right - 80; --x) {
            DWORD_PTR hit = 0;
            ::SendMessageTimeoutW(window_, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, kMessageTimeout, &hit);
            if (hit == HTCLOSE) {
                if (last < 0) last = x;
                first = x;
            } else if (last >= 0) {
                break;
            }
        }
        if (last >= 0) {
            Emit("closebox " + std::to_string((first + last) / 2) + "," + std::to_string(y + 4));
            return;
        }
    }
    Emit("error no close box");
}

}  // namespace

int main() {
    static_cast<void>(std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16));
    static_cast<void>(::CoInitialize(nullptr));
    char line[256];
    while (std::fgets(line, sizeof(line), stdin) != nullptr) {
        std::string command(line);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r' || command.back() == ' '))
            command.pop_back();
        if (command == "quit") break;
        Wizard wizard;
        if (command == "windows") {
            wizard.Popups();
        } else if (command == "inventory") {
            InventoryWindow();
        } else if (command == "clipboard") {
            Clipboard();
        } else if (!wizard.Find()) {
            Emit("window present=0");
        } else if (command == "state") {
            wizard.State();
        } else if (command == "checks") {
            wizard.Checks();
        } else if (command.rfind("accessible", 0) == 0) {
            wizard.Accessible(command.size() > 11 ? command.substr(11) : std::string());
        } else if (command == "rows") {
            wizard.Rows();
        } else if (command == "closebox") {
            wizard.CloseBox();
        } else {
            Emit("error unknown command " + command);
        }
        Emit(".");
        static_cast<void>(std::fflush(stdout));
    }
    return 0;
}
