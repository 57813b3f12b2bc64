#pragma once
// Shared by the fuzz targets: turning input bytes into UTF-16-like text, and
// stopping with found versus expected when a check fails.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

namespace fuzz {

// Bytes below 0x80 stand for themselves; the others for characters a broken
// machine might hold: NUL, tabs, non-ASCII digits and points, surrogates.
inline wchar_t WideOf(std::uint8_t byte) {
    static const wchar_t kHigh[] = {
        L'\0',     L'\t',     L'\r',     L'\n',     L'\x00A0', L'\x00DF', L'\x00FC', L'\x0660', L'\x0669', L'\x06F1',
        L'\x2024', L'\x3000', L'\xD800', L'\xDC00', L'\xFEFF', L'\xFF0E', L'\xFF10', L'\xFF19', L'\xFFFD', L'\xFFFF',
    };
    if (byte < 0x80) return static_cast<wchar_t>(byte);
    return kHigh[(byte - 0x80) % (sizeof kHigh / sizeof kHigh[0])];
}

inline std::wstring Widen(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char c : bytes) text.push_back(WideOf(static_cast<std::uint8_t>(c)));
    return text;
}

// Printable ASCII as it is, everything else as \uXXXX, in quotes.
inline std::string Show(std::wstring_view text) {
    std::string shown = "\"";
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        if (code >= 0x20 && code < 0x7F && c != L'\\' && c != L'"') {
            shown.push_back(static_cast<char>(c));
        } else {
            char escaped[16];
            if (std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(code)) > 0) shown += escaped;
        }
    }
    return shown + "\"";
}

[[noreturn]] inline void Fail(const std::string& what, const std::string& found, const std::string& expected) {
    // Nothing to do if even this cannot be written: the abort is the finding.
    (void)std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n  found:    %s\n  expected: %s\n", what.c_str(), found.c_str(),
                       expected.c_str());
    std::abort();
}

}  // namespace fuzz
