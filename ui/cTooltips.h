#pragma once
// Owns one tooltip window of the common controls and drives it through its
// messages. Without a window every member is inert. Tools are whole child
// windows ("controls"), registered on their container.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "winsupport/Handles.h"

class cTooltips {
public:
    // Tool records end with lParam and carry no lpReserved: the size the SDK
    // calls TTTOOLINFOA_V2_SIZE, which is 44 bytes on x86 and larger on x64
    // (wider handles and pointers). The SDK macro is no constant expression,
    // hence offsetof.
    static constexpr UINT kToolInfoSize = static_cast<UINT>(offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM));

    cTooltips() = default;
    ~cTooltips();
    cTooltips(const cTooltips&) = delete;
    cTooltips& operator=(const cTooltips&) = delete;

    void Create(HWND ownerForm, DWORD styleFlags);
    HWND hwnd() const noexcept { return window_.get(); }

    void AddTool(HWND control, DWORD flags, const std::wstring& text);
    void DeleteTool(HWND control);
    void SetTipText(HWND control, const std::wstring& text);
    void SetToolRect(HWND control, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    void SetTracking(HWND control, bool tracking);
    void SetTrackPosition(HWND control, std::int32_t x, std::int32_t y);
    bool HitTest(HWND control, std::int32_t x, std::int32_t y) const;
    void HideTips() const;
    std::int32_t ToolCount() const;

    bool Enabled() const noexcept;
    void SetEnabled(bool enabled);
    std::int32_t Icon() const noexcept;
    void SetIcon(std::int32_t icon);
    std::wstring Title() const;
    void SetTitle(const std::wstring& title);

    std::int32_t GetDelayTime(std::int32_t which) const;
    void SetDelayTime(std::int32_t which, std::int32_t milliseconds) const;

    std::int32_t MarginLeft() const;
    std::int32_t MarginTop() const;
    std::int32_t MarginRight() const;
    std::int32_t MarginBottom() const;
    void SetMarginLeft(std::int32_t value) const;
    void SetMarginTop(std::int32_t value) const;
    void SetMarginRight(std::int32_t value) const;
    void SetMarginBottom(std::int32_t value) const;

    std::int32_t MaxTipWidth() const;
    void SetMaxTipWidth(std::int32_t width) const;

    COLORREF BackColor() const;
    void SetBackColor(std::uint32_t color) const;
    COLORREF ForeColor() const;
    void SetForeColor(std::uint32_t color) const;

    std::int32_t GetTooltipWidth(HWND control);
    std::int32_t GetTooltipHeight(HWND control);

    std::int32_t ToolTipWidthFromText(HDC dc, const std::wstring& text) const;
    std::int32_t ToolTipHeightFromText(HDC dc, const std::wstring& text) const;
    std::int32_t TextWidthFromToolTipWidth(HDC dc, std::int32_t tipWidth) const;
    std::int32_t TextHeightFromToolTipHeight(HDC dc, std::int32_t tipHeight) const;

    static std::int32_t MakeLong(std::int32_t low, std::int32_t high) noexcept;
    std::int32_t GetShellVersion() const noexcept { return 0; }

private:
    friend struct cTooltipsTestAccess;

    // Enumeration copies the tool's text into the record; room for the
    // longest tip text even when every character takes two ANSI bytes.
    static constexpr std::size_t kTextBufferSize = std::size_t{2} * INFOTIPSIZE;

    TTTOOLINFOA FindToolInfo(HWND control);
    static std::int16_t LowWord(std::int32_t value) noexcept;
    static std::int16_t HighWord(std::int32_t value) noexcept;
    static COLORREF TranslateColor(std::uint32_t color) noexcept;

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
    RECT Margins() const;
    void SetMargins(const RECT& margins) const;
    RECT TipRectFromTextRect(HDC dc, const std::wstring& text) const;
    RECT AdjustRect(BOOL textToWindow, RECT rect) const;
    LRESULT SendBubbleSize(HWND control);
    void SendTitle() const;

    UniqueWindow window_;
    bool enabled_ = false;
    std::int32_t icon_ = TTI_NONE;
    std::wstring title_;
    std::array<char, kTextBufferSize> enumText_{};
};
