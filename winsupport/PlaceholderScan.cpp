#include "winsupport/PlaceholderScan.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "winsupport/DecimalText.h"
#include "winsupport/RaisedError.h"

namespace {

void ReplaceAll(std::wstring& text, std::wstring_view what, std::wstring_view with) {
    for (size_t at = text.find(what.data(), 0, what.size()); at != std::wstring::npos;
         at = text.find(what.data(), at + with.size(), what.size())) {
        text.replace(at, what.size(), with.data(), with.size());
    }
}

bool IsExplicitIndex(const std::wstring& content) {
    return content.size() >= 2 && content[0] >= L'1' && content[0] <= L'9' && content[1] == L':';
}

}  // namespace

std::wstring FillPlaceholders(std::wstring format, const TaggedValueList& values, const ValueFormatter& formatter) {
    std::wstring& text = format;
    // The order matters: a doubled backslash must be protected before the others are read.
    ReplaceAll(text, L"\\\\", L"[\\]");
    ReplaceAll(text, L"\\t", L"\t");
    ReplaceAll(text, L"\\r", L"\r");
    ReplaceAll(text, L"\\n", L"\r\n");
    ReplaceAll(text, L"\\[", L"[(]");

    const std::int64_t lastIndex = static_cast<std::int64_t>(values.size()) - 1;
    std::int32_t counter = 0;
    size_t scan = 0;
    for (;;) {
        const size_t open = text.find(L'[', scan);
        if (open == std::wstring::npos) return text;
        const size_t close = text.find(L']', open + 1);
        if (close == std::wstring::npos) {
            throw RaisedError(kPlaceholderMissingBracket, L"printf",
                              L"Missing ']' after '[' at position " + DecimalText(open + 1) + L"!");
        }
        std::wstring content = text.substr(open + 1, close - open - 1);

        const bool explicitIndex = IsExplicitIndex(content);
        const std::int32_t rememberedCounter = counter;
        if (explicitIndex) {
            counter = content[0] - L'1';
            if (counter > lastIndex) counter = static_cast<std::int32_t>(lastIndex);
            content.erase(0, 2);
        }

        if (!content.empty() && content[0] == L'=') {
            throw RaisedError(kPlaceholderScriptCode, L"sprintf",
                              L"No script code allowed in placeholder string. Use the sprintf COM-component instead.");
        }

        std::wstring replacement;
        if (content.empty()) {
            // Takes up a value position without reading it.
        } else if (content == L"(") {
            replacement = L"[";
            --counter;
        } else if (content == L"\\") {
            replacement = L"\\";
            --counter;
        } else {
            if (counter < 0 || counter > lastIndex) {
                throw RaisedError(kPlaceholderMissingValue, L"printf",
                                  L"Missing value in printf-call for format string '[" + content + L"]'!");
            }
            const TaggedValue& value = values[static_cast<size_t>(counter)];
            replacement = content == L"*" ? formatter.Text(value) : formatter.WithPattern(value, content);
        }

        text.replace(open, close - open + 1, replacement);
        scan = open + replacement.size();

        if (explicitIndex) {
            counter = rememberedCounter;
        } else {
            ++counter;
        }
    }
}
