#pragma once
// Decimal digits of a number. std::to_wstring would link the C library's wide
// formatting, a large part of this small program, for this alone.

#include <string>
#include <type_traits>

template <typename Integer>
std::wstring DecimalText(Integer value) {
    static_assert(std::is_integral_v<Integer>, "DecimalText writes whole numbers");
    using Unsigned = std::make_unsigned_t<Integer>;
    // Counted as unsigned, so that the most negative number has a magnitude.
    const bool negative = value < 0;
    Unsigned magnitude = static_cast<Unsigned>(value);
    if (negative) magnitude = static_cast<Unsigned>(Unsigned{0} - magnitude);
    wchar_t digits[24];
    wchar_t* const end = digits + sizeof digits / sizeof digits[0];
    wchar_t* first = end;
    do {
        *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude = static_cast<Unsigned>(magnitude / 10);
    } while (magnitude != 0);
    if (negative) *--first = L'-';
    return std::wstring(first, end);
}

// The number the text's decimal digits give; false for anything else (an
// empty text, a sign, a blank, a number too large for the type).
template <typename Unsigned>
bool ParseDecimal(const wchar_t* text, Unsigned& value) {
    static_assert(std::is_unsigned_v<Unsigned>, "ParseDecimal reads whole numbers without a sign");
    value = 0;
    if (text == nullptr || *text == L'\0') return false;
    for (const wchar_t* digit = text; *digit != L'\0'; ++digit) {
        if (*digit < L'0' || *digit > L'9') return false;
        const auto add = static_cast<Unsigned>(*digit - L'0');
        if (value > (static_cast<Unsigned>(-1) - add) / 10) return false;
        value = static_cast<Unsigned>(value * 10 + add);
    }
    return true;
}
