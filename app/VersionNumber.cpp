// Reading a version number; platform-free, so that it can be fuzzed anywhere.

#include "app/VersionVerdict.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

double VersionNumber(std::wstring_view text) {
    size_t position = 0;
    while (position < text.size() && (text[position] == L' ' || text[position] == L'\t')) ++position;
    // strtod expects the C library's decimal point, "." unless the locale was
    // changed; the text's "." is handed over as that point, whatever it is.
    const std::string_view point = std::localeconv()->decimal_point;
    std::string number;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; position < text.size(); ++position) {
        const wchar_t c = text[position];
        if (c >= L'0' && c <= L'9') {
            seenDigit = true;
            number.push_back(static_cast<char>(c));
        } else if (c == L'.' && !seenPoint) {
            seenPoint = true;
            number.append(point);
        } else {
            break;
        }
    }
    if (!seenDigit) return 0;
    // Correctly rounded, as the thresholds it is compared with are; too many
    // digits for a double is no usable version number.
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0;
}
