#include "ui/cTooltips.h"

#include <cstring>

#include "winsupport/TextCodec.h"

#if !defined(_WIN64)
static_assert(cTooltips::kToolInfoSize == 44, "x86 tool records are 44 bytes");
#endif

namespace {

constexpr DWORD kSystemColourTag = 0x80000000u;

// The ANSI messages want a null pointer, not an empty string, for "no text".
LPSTR TextOrNull(std::string& ansi) {
    return ansi.empty() ? nullptr : &ansi[0];
}

LPARAM AsLParam(const void* record) {
    return reinterpret_cast<LPARAM>(record);
}

}  // namespace

cTooltips::~cTooltips() = default;

void cTooltips::Create(HWND ownerForm, DWORD styleFlags) {
    window_.reset();
    enabled_ = true;
    icon_ = TTI_NONE;
    title_.clear();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    window_.reset(::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, "", styleFlags | WS_POPUP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ownerForm, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
    if (window_) {
        ::SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

LRESULT cTooltips::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(window_.get(), message, wParam, lParam);
}

void cTooltips::AddTool(HWND control, DWORD flags, const std::wstring& text) {
    if (!window_) return;
    std::string ansi = ToAnsi(text);
    TTTOOLINFOA record{};
    record.cbSize = kToolInfoSize;
    record.uFlags = flags | TTF_IDISHWND;
    // A tracked tip is placed by its owner; relaying mouse moves would fight that.
    if ((flags & TTF_TRACK) == 0) record.uFlags |= TTF_SUBCLASS;
    record.hwnd = ::GetParent(control);
    record.uId = reinterpret_cast<UINT_PTR>(control);
    record.hinst = ::GetModuleHandleW(nullptr);
    record.lpszText = TextOrNull(ansi);
    Send(TTM_ADDTOOLA, 0, AsLParam(&record));
}

TTTOOLINFOA cTooltips::FindToolInfo(HWND control) {
    const TTTOOLINFOA none{};
    if (!window_) return none;
    const std::int32_t count = ToolCount();
    for (std::int32_t index = 0; index < count; ++index) {
        TTTOOLINFOA record{};
        record.cbSize = kToolInfoSize;
        // The control copies the tool's text here; a null pointer would leave
        // the copy to chance on other versions of the control.
        enumText_.fill('\0');
        record.lpszText = enumText_.data();
        if (Send(TTM_ENUMTOOLSA, static_cast<WPARAM>(index), AsLParam(&record)) != 0 &&
            record.uId == reinterpret_cast<UINT_PTR>(control)) {
            return record;
        }
    }
    return none;
}

void cTooltips::DeleteTool(HWND control) {
    TTTOOLINFOA record = FindToolInfo(control);
    if (record.cbSize == 0) return;
    Send(TTM_DELTOOLA, 0, AsLParam(&record));
}

void cTooltips::SetTipText(HWND control, const std::wstring& text) {
    TTTOOLINFOA record = FindToolInfo(control);
    if (record.cbSize == 0) return;
    std::string ansi = ToAnsi(text);
    record.cbSize = kToolInfoSize;
    record.lpszText = TextOrNull(ansi);
    Send(TTM_UPDATETIPTEXTA, 0, AsLParam(&record));
}

void cTooltips::SetToolRect(HWND control, std::int32_t left, std::int32_t top, std::int32_t right,
                            std::int32_t bottom) {
    TTTOOLINFOA record = FindToolInfo(control);
    if (record.cbSize == 0) return;
    record.rect = RECT{left, top, right, bottom};
    Send(TTM_NEWTOOLRECTA, 0, AsLParam(&record));
}

void cTooltips::SetTracking(HWND control, bool tracking) {
    TTTOOLINFOA record = FindToolInfo(control);
    if (record.cbSize == 0) return;
    Send(TTM_TRACKACTIVATE, tracking ? TRUE : FALSE, AsLParam(&record));
}

void cTooltips::SetTrackPosition(HWND control, std::int32_t x, std::int32_t y) {
    // The record only proves the control is a tool; the position is global.
    if (FindToolInfo(control).cbSize == 0) return;
    Send(TTM_TRACKPOSITION, 0, static_cast<LPARAM>(static_cast<DWORD>(MakeLong(x, y))));
}

bool cTooltips::HitTest(HWND control, std::int32_t x, std::int32_t y) const {
    if (!window_) return false;
    TTHITTESTINFOA query{};
    query.hwnd = control;
    query.pt = POINT{x, y};
    query.ti.cbSize = kToolInfoSize;
    return Send(TTM_HITTESTA, 0, AsLParam(&query)) != 0;
}

void cTooltips::HideTips() const {
    if (!window_) return;
    Send(TTM_POP, 0, 0);
}

std::int32_t cTooltips::ToolCount() const {
    if (!window_) return 0;
    return static_cast<std::int32_t>(Send(TTM_GETTOOLCOUNT, 0, 0));
}

bool cTooltips::Enabled() const noexcept {
    return window_ && enabled_;
}

void cTooltips::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (!window_) return;
    Send(TTM_ACTIVATE, enabled ? TRUE : FALSE, 0);
}

std::int32_t cTooltips::Icon() const noexcept {
    return window_ ? icon_ : 0;
}

void cTooltips::SetIcon(std::int32_t icon) {
    if (!window_) return;
    icon_ = icon;
    SendTitle();
}

std::wstring cTooltips::Title() const {
    return window_ ? title_ : std::wstring();
}

void cTooltips::SetTitle(const std::wstring& title) {
    if (!window_) return;
    title_ = title;
    SendTitle();
}

// The control takes icon and title in one message, so either change re-sends both.
void cTooltips::SendTitle() const {
    const std::string ansi = ToAnsi(title_);
    Send(TTM_SETTITLEA, static_cast<WPARAM>(static_cast<DWORD>(icon_)), AsLParam(ansi.c_str()));
}

std::int32_t cTooltips::GetDelayTime(std::int32_t which) const {
    if (!window_) return 0;
    return static_cast<std::int32_t>(Send(TTM_GETDELAYTIME, static_cast<WPARAM>(which), 0));
}

void cTooltips::SetDelayTime(std::int32_t which, std::int32_t milliseconds) const {
    if (!window_) return;
    Send(TTM_SETDELAYTIME, static_cast<WPARAM>(which), static_cast<LPARAM>(milliseconds));
}

RECT cTooltips::Margins() const {
    RECT margins{};
    if (window_) Send(TTM_GETMARGIN, 0, AsLParam(&margins));
    return margins;
}

void cTooltips::SetMargins(const RECT& margins) const {
    if (!window_) return;
    Send(TTM_SETMARGIN, 0, AsLParam(&margins));
}

std::int32_t cTooltips::MarginLeft() const {
    return Margins().left;
}
std::int32_t cTooltips::MarginTop() const {
    return Margins().top;
}
std::int32_t cTooltips::MarginRight() const {
    return Margins().right;
}
std::int32_t cTooltips::MarginBottom() const {
    return Margins().bottom;
}

void cTooltips::SetMarginLeft(std::int32_t value) const {
    if (!window_) return;
    SetMargins(RECT{value, MarginTop(), MarginRight(), MarginBottom()});
}

void cTooltips::SetMarginTop(std::int32_t value) const {
    if (!window_) return;
    SetMargins(RECT{MarginLeft(), value, MarginRight(), MarginBottom()});
}

void cTooltips::SetMarginRight(std::int32_t value) const {
    if (!window_) return;
    SetMargins(RECT{MarginLeft(), MarginTop(), value, MarginBottom()});
}

void cTooltips::SetMarginBottom(std::int32_t value) const {
    if (!window_) return;
    SetMargins(RECT{MarginLeft(), MarginTop(), MarginRight(), value});
}

std::int32_t cTooltips::MaxTipWidth() const {
    if (!window_) return 0;
    return static_cast<std::int32_t>(Send(TTM_GETMAXTIPWIDTH, 0, 0));
}

void cTooltips::SetMaxTipWidth(std::int32_t width) const {
    if (!window_) return;
    Send(TTM_SETMAXTIPWIDTH, 0, static_cast<LPARAM>(width));
}

COLORREF cTooltips::BackColor() const {
    if (!window_) return 0;
    return static_cast<COLORREF>(Send(TTM_GETTIPBKCOLOR, 0, 0));
}

void cTooltips::SetBackColor(std::uint32_t color) const {
    if (!window_) return;
    Send(TTM_SETTIPBKCOLOR, static_cast<WPARAM>(TranslateColor(color)), 0);
}

COLORREF cTooltips::ForeColor() const {
    if (!window_) return 0;
    return static_cast<COLORREF>(Send(TTM_GETTIPTEXTCOLOR, 0, 0));
}

void cTooltips::SetForeColor(std::uint32_t color) const {
    if (!window_) return;
    Send(TTM_SETTIPTEXTCOLOR, static_cast<WPARAM>(TranslateColor(color)), 0);
}

LRESULT cTooltips::SendBubbleSize(HWND control) {
    TTTOOLINFOA record = FindToolInfo(control);
    if (record.cbSize == 0) return 0;
    return Send(TTM_GETBUBBLESIZE, 0, AsLParam(&record));
}

std::int32_t cTooltips::GetTooltipWidth(HWND control) {
    return LowWord(static_cast<std::int32_t>(SendBubbleSize(control)));
}

std::int32_t cTooltips::GetTooltipHeight(HWND control) {
    return HighWord(static_cast<std::int32_t>(SendBubbleSize(control)));
}

RECT cTooltips::AdjustRect(BOOL textToWindow, RECT rect) const {
    Send(TTM_ADJUSTRECT, static_cast<WPARAM>(textToWindow), AsLParam(&rect));
    return rect;
}

RECT cTooltips::TipRectFromTextRect(HDC dc, const std::wstring& text) const {
    const std::string ansi = ToAnsi(text);
    SIZE extent{};
    ::GetTextExtentPoint32A(dc, ansi.c_str(), static_cast<int>(ansi.size()), &extent);
    return AdjustRect(TRUE, RECT{0, 0, extent.cx, extent.cy});
}

std::int32_t cTooltips::ToolTipWidthFromText(HDC dc, const std::wstring& text) const {
    if (!window_) return 0;
    const RECT tip = TipRectFromTextRect(dc, text);
    return tip.right - tip.left;
}

std::int32_t cTooltips::ToolTipHeightFromText(HDC dc, const std::wstring& text) const {
    if (!window_) return 0;
    const RECT tip = TipRectFromTextRect(dc, text);
    return tip.bottom - tip.top;
}

std::int32_t cTooltips::TextWidthFromToolTipWidth(HDC, std::int32_t tipWidth) const {
    if (!window_) return 0;
    const RECT text = AdjustRect(FALSE, RECT{0, 0, tipWidth, 0});
    return text.right - text.left;
}

std::int32_t cTooltips::TextHeightFromToolTipHeight(HDC, std::int32_t tipHeight) const {
    if (!window_) return 0;
    const RECT text = AdjustRect(FALSE, RECT{0, 0, 0, tipHeight});
    return text.bottom - text.top;
}

std::int32_t cTooltips::MakeLong(std::int32_t low, std::int32_t high) noexcept {
    const std::uint32_t packed =
        ((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16) | (static_cast<std::uint32_t>(low) & 0xFFFFu);
    std::int32_t result;
    std::memcpy(&result, &packed, sizeof(result));  // keeps the bits without overflow
    return result;
}

std::int16_t cTooltips::LowWord(std::int32_t value) noexcept {
    const auto bits = static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
    std::int16_t result;
    std::memcpy(&result, &bits, sizeof(result));
    return result;
}

std::int16_t cTooltips::HighWord(std::int32_t value) noexcept {
    const auto bits = static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) >> 16);
    std::int16_t result;
    std::memcpy(&result, &bits, sizeof(result));
    return result;
}

COLORREF cTooltips::TranslateColor(std::uint32_t color) noexcept {
    if ((color & 0xFF000000u) == kSystemColourTag) return ::GetSysColor(static_cast<int>(color & 0xFFu));
    return color;
}
