#pragma once
// The colours the wizard paints with: the design's white band and blue links
// in the normal theme; in high contrast every colour the system's, so that
// the theme's text is never drawn on the design's white.

#include <windows.h>

struct Palette {
    // The welcome page and the heading band of the other pages.
    COLORREF bandBack = RGB(255, 255, 255);
    COLORREF bandText = 0;
    HBRUSH bandBrush = nullptr;  // the system's or a stock one: never released
    // The pages below the band and the button bar.
    COLORREF faceBack = 0;
    COLORREF faceText = 0;
    HBRUSH faceBrush = nullptr;
    COLORREF link = RGB(0, 0, 255);
};

// Whether the user has a high-contrast theme on; asked again on every theme
// or colour change.
bool HighContrastOn();
// Wine always answers "off": tests set the answer (-1 lets the system answer).
void SetHighContrastAnswerForTests(int answer);

Palette PaletteFor(bool highContrast);
