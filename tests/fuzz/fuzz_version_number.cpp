// Fuzzes the reading of a version number out of a version text: the result is
// 0 or a finite, non-negative number, the same as a plain reference reading
// gives, and unchanged by blanks in front or by text after the number.

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/VersionVerdict.h"
#include "tests/fuzz/FuzzText.h"

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Blanks, then digits, at most one point, digits; read by the C library in
// the "C" locale. Nothing that cannot be a number reads as 0.
double Reference(const std::wstring& text) {
    size_t at = text.find_first_not_of(L" \t");
    if (at == std::wstring::npos) return 0;
    std::string number;
    while (at < text.size() && IsDigit(text[at])) number.push_back(static_cast<char>(text[at++]));
    if (at < text.size() && text[at] == L'.') {
        number.push_back('.');
        ++at;
        while (at < text.size() && IsDigit(text[at])) number.push_back(static_cast<char>(text[at++]));
    }
    if (number.find_first_of("0123456789") == std::string::npos) return 0;
    errno = 0;
    const double value = std::strtod(number.c_str(), nullptr);
    // Too many digits for a double is no usable version number; a fraction
    // too small for a normal double still reads as what it is.
    if (errno == ERANGE && value > 1) return 0;
    return value;
}

std::string Number(double value) {
    char text[64];
    return std::snprintf(text, sizeof text, "%.17g", value) > 0 ? text : "?";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reference reading needs "." as the decimal point.
    if (std::setlocale(LC_ALL, "C") == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::wstring text = fuzz::Widen(std::string_view(reinterpret_cast<const char*>(data), size));
    const double found = VersionNumber(text);
    if (!std::isfinite(found) || found < 0 || std::signbit(found)) {
        fuzz::Fail("VersionNumber of " + fuzz::Show(text), Number(found), "0 or a finite number >= 0");
    }
    const double expected = Reference(text);
    if (found != expected) fuzz::Fail("VersionNumber of " + fuzz::Show(text), Number(found), Number(expected));

    const double blankFirst = VersionNumber(L" \t" + text);
    if (blankFirst != found) fuzz::Fail("blanks in front of " + fuzz::Show(text), Number(blankFirst), Number(found));
    // Whatever follows a character that ends the number does not count.
    const double textAfter = VersionNumber(text + L"x9.5");
    if (textAfter != found) fuzz::Fail("\"x9.5\" after " + fuzz::Show(text), Number(textAfter), Number(found));
    return 0;
}
