#include "ui/Palette.h"

#include <atomic>

namespace {
std::atomic<int> answerForTests{-1};
}  // namespace

bool HighContrastOn() {
    const int forced = answerForTests.load();
    if (forced >= 0) return forced != 0;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != 0 &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void SetHighContrastAnswerForTests(int answer) {
    answerForTests = answer;
}

Palette PaletteFor(bool highContrast) {
    Palette palette;
    palette.faceBack = ::GetSysColor(COLOR_BTNFACE);
    palette.faceText = ::GetSysColor(COLOR_BTNTEXT);
    palette.faceBrush = ::GetSysColorBrush(COLOR_BTNFACE);
    if (highContrast) {
        palette.bandBack = ::GetSysColor(COLOR_WINDOW);
        palette.bandText = ::GetSysColor(COLOR_WINDOWTEXT);
        palette.bandBrush = ::GetSysColorBrush(COLOR_WINDOW);
        palette.link = ::GetSysColor(COLOR_HOTLIGHT);
    } else {
        // The design's: its text keeps the button text colour, as it always had.
        palette.bandText = palette.faceText;
        palette.bandBrush = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    }
    return palette;
}
