// Fuzzes the placeholder formatter's escapes and placeholder scan with a
// stand-in for the OLE value steps.
//
// The first input byte picks the mode:
//   even: free text. The rest is "format\nvalue\nvalue...". Checks: only the
//         three formatter errors are raised, and a format without brackets
//         comes out as its escapes read one by one from the left.
//   odd:  a model. The rest chooses a sequence of known pieces (literal text,
//         escapes, each kind of placeholder, script code, an unclosed bracket)
//         whose result or error is known piece by piece; the formatter must
//         produce exactly that.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzText.h"
#include "winsupport/PlaceholderScan.h"
#include "winsupport/RaisedError.h"

namespace {

// Text values as they are; numbers as "#n", so that a swapped value shows.
class StandInFormatter final : public ValueFormatter {
public:
    std::wstring Text(const TaggedValue& value) const override {
        if (const std::wstring* text = value.As<std::wstring>()) return *text;
        if (const std::int32_t* number = value.As<std::int32_t>()) return L"#" + std::to_wstring(*number);
        return L"?";
    }
    std::wstring WithPattern(const TaggedValue& value, const std::wstring& pattern) const override {
        return L"{" + pattern + L"|" + Text(value) + L"}";
    }
};

struct Outcome {
    bool raised = false;
    std::wstring text;
    std::int32_t number = 0;
    std::wstring source;
    std::wstring description;
};

std::string Describe(const Outcome& outcome) {
    if (!outcome.raised) return "text " + fuzz::Show(outcome.text);
    return "error " + std::to_string(outcome.number) + " from " + fuzz::Show(outcome.source) + ": " +
           fuzz::Show(outcome.description);
}

Outcome Run(const std::wstring& format, const TaggedValueList& values) {
    Outcome outcome;
    try {
        outcome.text = FillPlaceholders(format, values, StandInFormatter{});
    } catch (const RaisedError& error) {
        outcome.raised = true;
        outcome.number = error.Number();
        outcome.source = error.Source();
        outcome.description = error.Description();
    }
    return outcome;  // any other exception escapes and ends the run as a finding
}

void CheckErrorIsKnown(const Outcome& outcome, const std::wstring& format) {
    if (!outcome.raised) return;
    const bool known = (outcome.number == kPlaceholderMissingBracket && outcome.source == L"printf") ||
                       (outcome.number == kPlaceholderMissingValue && outcome.source == L"printf") ||
                       (outcome.number == kPlaceholderScriptCode && outcome.source == L"sprintf");
    if (!known) fuzz::Fail("unknown error for format " + fuzz::Show(format), Describe(outcome), "one of the three");
}

// ---- free text ---------------------------------------------------------------------------

// The escapes read one by one from the left, as a user would read them.
std::wstring ReadEscapes(const std::wstring& format) {
    std::wstring text;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'\\' || i + 1 == format.size()) {
            text.push_back(format[i]);
            continue;
        }
        switch (format[i + 1]) {
            case L'\\':
                text += L"\\";
                break;
            case L't':
                text += L"\t";
                break;
            case L'r':
                text += L"\r";
                break;
            case L'n':
                text += L"\r\n";
                break;
            case L'[':
                text += L"[";
                break;
            default:
                text.push_back(L'\\');
                continue;
        }
        ++i;
    }
    return text;
}

void FreeText(const std::uint8_t* data, size_t size) {
    const std::wstring input = fuzz::Widen(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = input.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(input.substr(start, end - start));
    lines.push_back(input.substr(start));
    const std::wstring format = lines.front();
    const TaggedValueList values(lines.begin() + 1, lines.end());

    const Outcome outcome = Run(format, values);
    CheckErrorIsKnown(outcome, format);
    if (format.find_first_of(L"[]") == std::wstring::npos) {
        Outcome expected;
        expected.text = ReadEscapes(format);
        if (outcome.raised || outcome.text != expected.text)
            fuzz::Fail("format without brackets " + fuzz::Show(format), Describe(outcome), Describe(expected));
    }
}

// ---- the model ---------------------------------------------------------------------------

class Model {
public:
    explicit Model(const TaggedValueList& values) : values_(values) {}

    std::wstring format;
    const std::optional<Outcome>& Error() const { return error_; }
    Outcome Expected() const {
        if (error_) return *error_;
        Outcome result;
        result.text = output_;
        return result;
    }

    void Literal(const std::wstring& text) {
        format += text;
        Emit(text);
    }
    void Escape(const std::wstring& source, const std::wstring& meaning) {
        format += source;
        Emit(meaning);
    }
    // "[content]" with an optional explicit index 1..9 (0: none); content
    // one of "*", "", "(", "\", a pattern or script code.
    void Placeholder(int index, const std::wstring& content) {
        format += L"[" + (index > 0 ? std::to_wstring(index) + L":" : L"") + content + L"]";
        if (error_) return;
        const std::int32_t last = static_cast<std::int32_t>(values_.size()) - 1;
        const std::int32_t position = index > 0 ? std::min(index - 1, last) : counter_;
        if (!content.empty() && content[0] == L'=') {
            Raise(kPlaceholderScriptCode, L"sprintf",
                  L"No script code allowed in placeholder string. Use the sprintf COM-component instead.");
            return;
        }
        if (content == L"(" || content == L"\\") {
            Emit(content == L"(" ? L"[" : L"\\");
        } else if (!content.empty()) {
            if (position < 0 || position > last) {
                Raise(kPlaceholderMissingValue, L"printf",
                      L"Missing value in printf-call for format string '[" + content + L"]'!");
                return;
            }
            const TaggedValue& value = values_[static_cast<size_t>(position)];
            Emit(content == L"*" ? formatter_.Text(value) : formatter_.WithPattern(value, content));
        }
        // "(" and "\" give their position back; an explicit index leaves it alone.
        if (index == 0 && content != L"(" && content != L"\\") ++counter_;
    }
    // A "[" that no "]" follows; the text after it must hold none.
    void Unclosed(const std::wstring& tail) {
        format += L"[" + tail;
        if (error_) return;
        Raise(kPlaceholderMissingBracket, L"printf",
              L"Missing ']' after '[' at position " + std::to_wstring(output_.size() + 1) + L"!");
    }

private:
    void Emit(const std::wstring& text) {
        if (!error_) output_ += text;
    }
    void Raise(std::int32_t number, const std::wstring& source, const std::wstring& description) {
        error_ = Outcome{true, {}, number, source, description};
    }

    const TaggedValueList& values_;
    StandInFormatter formatter_;
    std::int32_t counter_ = 0;
    std::wstring output_;
    std::optional<Outcome> error_;
};

// Characters that mean nothing to the formatter.
std::wstring PlainText(FuzzedDataProvider& input, size_t maxLength, const std::wstring& excluded) {
    std::wstring text;
    const size_t length = input.ConsumeIntegralInRange<size_t>(0, maxLength);
    for (size_t i = 0; i < length && input.remaining_bytes() > 0; ++i) {
        const wchar_t c = fuzz::WideOf(input.ConsumeIntegral<std::uint8_t>());
        if (c == L'[' || c == L'\\' || excluded.find(c) != std::wstring::npos) continue;
        text.push_back(c);
    }
    return text;
}

// A pattern the formatter hands to the value formatter as it is.
std::wstring Pattern(FuzzedDataProvider& input) {
    std::wstring pattern = PlainText(input, 8, L"]");
    const bool special = pattern.empty() || pattern == L"*" || pattern == L"(" || pattern[0] == L'=' ||
                         (pattern.size() >= 2 && pattern[0] >= L'1' && pattern[0] <= L'9' && pattern[1] == L':');
    return special ? L"0.00" + pattern : pattern;
}

void Modelled(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    TaggedValueList values;
    const int valueCount = input.ConsumeIntegralInRange(0, 9);
    for (int i = 0; i < valueCount; ++i) {
        if (input.ConsumeBool()) {
            values.emplace_back(input.ConsumeIntegral<std::int32_t>());
        } else {
            // Values go in literally, brackets and backslashes too.
            values.emplace_back(fuzz::Widen(input.ConsumeRandomLengthString(12)));
        }
    }
    Model model(values);
    bool closed = false;
    while (!closed && input.remaining_bytes() > 0) {
        const int index = input.ConsumeBool() ? input.ConsumeIntegralInRange(1, 9) : 0;
        switch (input.ConsumeIntegralInRange(0, 9)) {
            case 0:
                model.Literal(PlainText(input, 10, L""));
                break;
            case 1: {
                static const wchar_t* const kEscapes[][2] = {
                    {L"\\t", L"\t"}, {L"\\r", L"\r"}, {L"\\n", L"\r\n"}, {L"\\\\", L"\\"}, {L"\\[", L"["}};
                const auto& escape = kEscapes[input.ConsumeIntegralInRange(0, 4)];
                model.Escape(escape[0], escape[1]);
                break;
            }
            case 2:
                model.Placeholder(index, L"*");
                break;
            case 3:
                model.Placeholder(index, L"");
                break;
            case 4:
                model.Placeholder(index, L"(");
                break;
            case 5:
                model.Placeholder(index, L"\\");
                break;
            case 6:
            case 7:
                model.Placeholder(index, Pattern(input));
                break;
            case 8:
                model.Placeholder(index, L"=" + PlainText(input, 4, L"]"));
                break;
            case 9:
                model.Unclosed(PlainText(input, 6, L"]"));
                closed = true;
                break;
        }
    }
    const Outcome found = Run(model.format, values);
    CheckErrorIsKnown(found, model.format);
    const Outcome expected = model.Expected();
    if (Describe(found) != Describe(expected)) {
        fuzz::Fail("format " + fuzz::Show(model.format) + " with " + std::to_string(values.size()) + " values",
                   Describe(found), Describe(expected));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] % 2 == 0) {
        FreeText(data + 1, size - 1);
    } else {
        Modelled(data + 1, size - 1);
    }
    return 0;
}
