// Reading a version number; platform-free, so that it can be fuzzed anywhere.

#include "app/VersionCheck.h"

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

double VersionNumber(std::wstring_view text) {
    size_t position = 0;
    while (position < text.size() && (text[position] == L' ' || text[position] == L'\t')) ++position;
    std::string number;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; position < text.size(); ++position) {
        const wchar_t c = text[position];
        if (c >= L'0' && c <= L'9') {
            seenDigit = true;
        } else if (c == L'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        number.push_back(static_cast<char>(c));
    }
    if (!seenDigit) return 0;
    // from_chars reads "." as the decimal point in every locale.
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() ? value : 0;
}
