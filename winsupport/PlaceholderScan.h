#pragma once
// The platform-free part of the placeholder formatter: the backslash escapes
// and the scan for placeholders. Turning a value into text and formatting it
// by a pattern are left to a ValueFormatter, so that this part builds and can
// be fuzzed anywhere.

#include <cstdint>
#include <string>

#include "winsupport/TaggedValue.h"

class ValueFormatter {
public:
    virtual ~ValueFormatter() = default;
    // For "[*]".
    virtual std::wstring Text(const TaggedValue& value) const = 0;
    // For "[pattern]".
    virtual std::wstring WithPattern(const TaggedValue& value, const std::wstring& pattern) const = 0;
};

// Error numbers: FACILITY_ITF, codes 1..3, as the callers test for them.
constexpr std::int32_t kPlaceholderMissingBracket = static_cast<std::int32_t>(0x80040001u);
constexpr std::int32_t kPlaceholderMissingValue = static_cast<std::int32_t>(0x80040002u);
constexpr std::int32_t kPlaceholderScriptCode = static_cast<std::int32_t>(0x80040003u);

// FormatPlaceholders with the value steps supplied by the caller. Raises
// RaisedError with the three numbers above for malformed formats; whatever
// the formatter raises passes through.
std::wstring FillPlaceholders(std::wstring format, const TaggedValueList& values, const ValueFormatter& formatter);
