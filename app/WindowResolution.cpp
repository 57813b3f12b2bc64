#include "app/WindowResolution.h"

#include "app/frmMain.h"
#include "winsupport/DllSearch.h"

RECT WindowFrameFor(int dpi, DWORD style, int clientWidthTwips, int clientHeightTwips) {
    RECT frame{0, 0, ::MulDiv(clientWidthTwips, dpi, 1440), ::MulDiv(clientHeightTwips, dpi, 1440)};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto adjust = LoadedSystemFunction<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (adjust == nullptr || !adjust(&frame, style, FALSE, 0, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    return frame;
}

int WindowResolution(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const auto dpiFor = LoadedSystemFunction<DpiForWindow>(L"user32.dll", "GetDpiForWindow");
    return dpiFor != nullptr ? static_cast<int>(dpiFor(window)) : 0;
}

void frmMain::OnDpiChanged(int dpi, const RECT& suggested) {
    if (dpi <= 0 || dpi == controls_.Resolution()) return;
    // A hovered link shows an underlined twin of the font that goes.
    HWND hovered = HoverLabel;
    links_.ForgetUnderlines();
    controls_.ChangeResolution(dpi);
    RescaleFileList();
    // The tooltip measures itself when it is made.
    if (tooltips_) {
        ReleaseTooltipObject();
        CreateTooltipObject();
        if (WizardStep >= 3) SetRepairPageTooltipTitle();
    }
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (hovered != nullptr) links_.HoverOn(hovered);
    ::InvalidateRect(window_, nullptr, TRUE);
}
