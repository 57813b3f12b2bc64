#include "app/WizardControls.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "winsupport/ScaledImages.h"
#include "winsupport/DllSearch.h"
#include "winsupport/TextCodec.h"

namespace {

HINSTANCE ProgramInstance() {
    return ::GetModuleHandleA(nullptr);
}

DWORD StyleOf(const ControlLayout& layout, DWORD& exStyle, const char*& className, const char* panelClass) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (layout.visible) style |= WS_VISIBLE;
    if (!layout.enabled) style |= WS_DISABLED;
    className = WC_STATICA;
    switch (layout.kind) {
        case ControlKind::Panel:
            className = panelClass;
            style |= WS_CLIPCHILDREN;
            break;
        case ControlKind::Button:
            className = WC_BUTTONA;
            style |= WS_TABSTOP | ((layout.traits & kDefaultButton) != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case ControlKind::Option:
            className = WC_BUTTONA;
            style |= WS_TABSTOP | BS_AUTORADIOBUTTON | ((layout.traits & kGroupStart) != 0 ? WS_GROUP : 0);
            break;
        case ControlKind::Label:
            // SS_NOTIFY: labels take the mouse themselves instead of passing it to the page.
            style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
            // The keyboard reaches a link as it reaches a button.
            if ((layout.traits & kLink) != 0) style |= WS_TABSTOP;
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
            // The file list owns the image list; the list view only borrows it.
            style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
    }
    return style;
}

}  // namespace

LOGFONTA DesignFont(FontRole role, int dpiY) {
    LOGFONTA font{};
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfWeight = role == FontRole::Bold || role == FontRole::Title ? FW_BOLD : FW_NORMAL;
    const int hundredthsOfPoint = role == FontRole::Title ? 1200 : role == FontRole::Small ? 675 : 825;
    font.lfHeight = -::MulDiv(hundredthsOfPoint, dpiY, 7200);
    std::strncpy(font.lfFaceName, role == FontRole::Title ? "Arial" : "Tahoma", LF_FACESIZE - 1);
    return font;
}

int ListImageSizeFor(int dpi) {
    if (dpi <= 120) return 16;
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    const auto forDpi = LoadedSystemFunction<MetricsForDpi>(L"user32.dll", "GetSystemMetricsForDpi");
    const int size = forDpi != nullptr ? forDpi(SM_CXSMICON, static_cast<UINT>(dpi)) : ::GetSystemMetrics(SM_CXSMICON);
    return size > 0 ? size : ::MulDiv(16, dpi, 96);
}

void WizardControls::Attach(HWND window, const char* panelClass, void* panelParam, PageLoader loader) {
    window_ = window;
    panelClass_ = panelClass;
    panelParam_ = panelParam;
    loader_ = std::move(loader);
    making_ = window != nullptr;
    controls_.fill(nullptr);
    pagesMade_.fill(false);
}

void WizardControls::ReadScreenResolution() {
    WindowDC screen(nullptr);
    if (screen) {
        dpiX_ = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
        dpiY_ = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
}

void WizardControls::Forget() noexcept {
    window_ = nullptr;
    making_ = false;
    controls_.fill(nullptr);
    icons_.clear();
    pictures_.clear();
}

bool WizardControls::MakeFirst(ControlId firstPage) {
    pagesMade_[Slot(firstPage)] = true;
    return MakeOn(kWindowLevel) && MakeOn(firstPage);
}

void WizardControls::MakePage(ControlId panel) {
    const ControlLayout* layout = LayoutOf(Made(panel));
    if (layout == nullptr || layout->kind != ControlKind::Panel || pagesMade_[Slot(panel)] || !making_) return;
    // First, so that the loader finds the page's controls made.
    pagesMade_[Slot(panel)] = true;
    try {
        MakeOn(panel);
    } catch (...) {
    }
    if (!loader_) return;
    try {
        loader_(panel);
    } catch (...) {
    }
}

HWND WizardControls::Made(ControlId id) const noexcept {
    return HasSlot(id) ? controls_[Slot(id)] : nullptr;
}

HWND WizardControls::Get(ControlId id) noexcept {
    HWND control = Made(id);
    if (control != nullptr || !making_) return control;
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.id != id) continue;
        MakePage(layout.parent);
        return Made(id);
    }
    return nullptr;
}

const ControlLayout* WizardControls::LayoutOf(HWND control) const {
    if (control == nullptr) return nullptr;
    const int id = ::GetDlgCtrlID(control);
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.id == id && Made(layout.id) == control) return &layout;
    }
    return nullptr;
}

bool WizardControls::Has(HWND control, ControlTrait trait) const {
    const ControlLayout* layout = LayoutOf(control);
    return layout != nullptr && (layout->traits & trait) != 0;
}

HFONT WizardControls::FontFor(FontRole role) {
    for (const auto& [made, font] : fonts_) {
        if (made == role) return font.get();
    }
    const LOGFONTA design = DesignFont(role, dpiY_);
    UniqueFont created(::CreateFontIndirectA(&design));
    if (!created) return nullptr;
    HFONT handle = created.get();
    fonts_.emplace_back(role, std::move(created));
    return handle;
}

// The controls laid out on one parent, in the table's order, which is their
// z-order and tab order.
bool WizardControls::MakeOn(ControlId parent) {
    for (const ControlLayout& layout : DesignLayout()) {
        if (layout.parent == parent && MakeControl(layout) == nullptr) return false;
    }
    return true;
}

HWND WizardControls::MakeControl(const ControlLayout& layout) {
    const HINSTANCE instance = ProgramInstance();
    HWND parentWindow = layout.parent == kWindowLevel ? window_ : Made(layout.parent);
    DWORD exStyle = 0;
    const char* className = nullptr;
    const DWORD style = StyleOf(layout, exStyle, className, panelClass_);
    HWND control = ::CreateWindowExA(exStyle, className, "", style, ToPixelsX(layout.left), ToPixelsY(layout.top),
                                     ToPixelsX(layout.width), ToPixelsY(layout.height), parentWindow,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance,
                                     layout.kind == ControlKind::Panel ? panelParam_ : nullptr);
    if (control == nullptr) return nullptr;
    controls_[Slot(layout.id)] = control;

    if (layout.font != FontRole::None) {
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout.font)), FALSE);
    }
    placed_[Slot(layout.id)] = POINT{layout.left, layout.top};
    if (layout.image != 0) SetImage(layout, control);
    return control;
}

void WizardControls::SetImage(const ControlLayout& layout, HWND control) {
    const HINSTANCE instance = ProgramInstance();
    if (layout.kind == ControlKind::Icon) {
        // Up to 120 dpi icons keep their drawn size and the control centres
        // them; from 144 dpi on they fill their frames.
        const int drawn = layout.width >= 480 ? 32 : 16;
        const int size = KeepsDrawnSizes() ? drawn : std::min(ToPixelsX(layout.width), ToPixelsY(layout.height));
        UniqueIcon icon = LoadIconSized(instance, layout.image, size);
        if (!icon) return;
        ::SendMessageA(control, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
        ::SetWindowPos(control, nullptr, 0, 0, ToPixelsX(layout.width), ToPixelsY(layout.height),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        // The one shown before is released once the control no longer shows it.
        for (auto& [id, shown] : icons_) {
            if (id == layout.id) shown.reset();
        }
        icons_.emplace_back(layout.id, std::move(icon));
    } else if (layout.kind == ControlKind::Picture) {
        // The picture is drawn for its frame at 96 dpi; the control takes its size.
        UniqueBitmap picture = KeepsDrawnSizes()
                                   ? UniqueBitmap(static_cast<HBITMAP>(
                                         ::LoadImageA(instance, MAKEINTRESOURCEA(layout.image), IMAGE_BITMAP, 0, 0, 0)))
                                   : LoadPictureSized(instance, layout.image, ::MulDiv(layout.width, 96, 1440),
                                                      ToPixelsX(layout.width), ToPixelsY(layout.height));
        if (!picture) return;
        ::SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
        for (auto& [id, shown] : pictures_) {
            if (id == layout.id) shown.reset();
        }
        pictures_.emplace_back(layout.id, std::move(picture));
    }
}

void WizardControls::ChangeResolution(int dpi) {
    SetResolution(dpi);
    // The old fonts go once every control has taken its new one.
    const std::vector<std::pair<FontRole, UniqueFont>> oldFonts = std::move(fonts_);
    fonts_.clear();
    for (const ControlLayout& layout : DesignLayout()) {
        HWND control = Made(layout.id);
        if (control == nullptr) continue;
        const POINT at = placed_[Slot(layout.id)];
        ::SetWindowPos(control, nullptr, ToPixelsX(at.x), ToPixelsY(at.y), ToPixelsX(layout.width),
                       ToPixelsY(layout.height), SWP_NOZORDER | SWP_NOACTIVATE);
        if (layout.font != FontRole::None)
            ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout.font)), TRUE);
        if (layout.image != 0) SetImage(layout, control);
        if ((layout.traits & kLink) != 0) {
            std::string text(static_cast<size_t>(::GetWindowTextLengthA(control)) + 1, '\0');
            text.resize(static_cast<size_t>(::GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
            FitToText(control, text);
        }
    }
    // Emptied by the images replaced.
    icons_.erase(std::remove_if(icons_.begin(), icons_.end(), [](const auto& pair) { return !pair.second; }),
                 icons_.end());
    pictures_.erase(std::remove_if(pictures_.begin(), pictures_.end(), [](const auto& pair) { return !pair.second; }),
                    pictures_.end());
}

void WizardControls::SetText(ControlId id, const std::wstring& text) {
    HWND control = Get(id);
    if (control == nullptr) return;
    const std::string ansi = ToAnsi(text);
    ::SetWindowTextA(control, ansi.c_str());
    if (Has(control, kLink)) FitToText(control, ansi);
}

void WizardControls::FitToText(HWND control, const std::string& ansi) {
    WindowDC dc(control);
    if (!dc) return;
    SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT extent{};
    if (::DrawTextA(dc.get(), ansi.c_str(), static_cast<int>(ansi.size()), &extent,
                    DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX) != 0) {
        RECT bounds{};
        ::GetWindowRect(control, &bounds);
        ::SetWindowPos(control, nullptr, 0, 0, extent.right - extent.left + 4, bounds.bottom - bounds.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void WizardControls::SetVisible(ControlId id, bool visible) {
    if (HWND control = Get(id)) ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void WizardControls::SetEnabled(ControlId id, bool enabled) {
    if (HWND control = Get(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void WizardControls::MoveTo(ControlId id, int leftTwips, int topTwips) {
    if (HWND control = Get(id)) {
        placed_[Slot(id)] = POINT{leftTwips, topTwips};
        ::SetWindowPos(control, nullptr, ToPixelsX(leftTwips), ToPixelsY(topTwips), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void WizardControls::MoveTop(ControlId id, int topTwips) {
    HWND control = Get(id);
    if (control == nullptr) return;
    placed_[Slot(id)].y = topTwips;
    RECT bounds{};
    ::GetWindowRect(control, &bounds);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    ::SetWindowPos(control, nullptr, bounds.left, ToPixelsY(topTwips), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool WizardControls::IsShown(ControlId id) {
    HWND control = Get(id);
    return control != nullptr && (::GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}
