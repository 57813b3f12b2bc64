#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "winsupport/RaisedError.h"
#include "winsupport/TaggedValue.h"
#include "winsupport/modAPI.h"

namespace {

// Written out as the signed numbers callers compare against.
constexpr std::int32_t kMissingBracket = -2147221503;  // 0x80040001
constexpr std::int32_t kMissingValue = -2147221502;    // 0x80040002
constexpr std::int32_t kScriptCode = -2147221501;      // 0x80040003
constexpr std::int32_t kInvalidArg = -2147024809;      // E_INVALIDARG

const wchar_t kScriptDescription[] =
    L"No script code allowed in placeholder string. Use the sprintf COM-component instead.";

// 2000-01-01 is a Saturday; 2000-01-02 a Sunday.
constexpr double kFirstOf2000 = 36526.0;
constexpr double kSecondOf2000 = 36527.0;
// Far beyond the last date OLE accepts (31 December 9999).
constexpr double kOutOfRangeDate = 1e10;

struct Outcome {
    bool raised = false;
    std::wstring text;
    std::int32_t number = 0;
    std::wstring source;
    std::wstring description;
};

template <typename Call>
Outcome Capture(Call call) {
    Outcome outcome;
    try {
        outcome.text = call();
    } catch (const RaisedError& error) {
        outcome.raised = true;
        outcome.number = error.Number();
        outcome.source = error.Source();
        outcome.description = error.Description();
    }
    return outcome;
}

Outcome Fill(const std::wstring& format, const TaggedValueList& values) {
    return Capture([&] { return FormatPlaceholders(format, values); });
}

std::string Show(const std::wstring& text) {
    return ::testing::PrintToString(text);
}

std::string Explain(const Outcome& outcome) {
    if (!outcome.raised) return "returned " + Show(outcome.text);
    return "raised " + std::to_string(outcome.number) + " " + Show(outcome.source) + " " + Show(outcome.description);
}

std::wstring LocaleText(LCTYPE item) {
    wchar_t buffer[100] = {};
    const int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 100);
    return length > 0 ? std::wstring(buffer, static_cast<size_t>(length - 1)) : std::wstring();
}

bool DecimalSeparatorIsPoint() {
    return LocaleText(LOCALE_SDECIMAL) == L".";
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct TextCase {
    const char* label;
    std::wstring format;
    TaggedValueList values;
    std::wstring expected;
};

void ExpectTexts(const std::vector<TextCase>& cases) {
    for (const TextCase& c : cases) {
        SCOPED_TRACE(std::string(c.label) + ": format " + Show(c.format));
        const Outcome found = Fill(c.format, c.values);
        EXPECT_FALSE(found.raised) << Explain(found);
        EXPECT_EQ(c.expected, found.text);
    }
}

struct ErrorCase {
    const char* label;
    std::wstring format;
    TaggedValueList values;
    std::int32_t number;
    std::wstring source;
    std::wstring description;
};

void ExpectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(std::string(c.label) + ": format " + Show(c.format));
        const Outcome found = Fill(c.format, c.values);
        ASSERT_TRUE(found.raised) << Explain(found);
        EXPECT_EQ(c.number, found.number);
        EXPECT_EQ(c.source, found.source);
        EXPECT_EQ(c.description, found.description);
    }
}

std::wstring MissingBracketAt(int position) {
    return L"Missing ']' after '[' at position " + std::to_wstring(position) + L"!";
}

std::wstring MissingValueFor(const std::wstring& placeholder) {
    return L"Missing value in printf-call for format string '" + placeholder + L"'!";
}

}  // namespace

TEST(FormatPlaceholders, FillsMessagesOfTheWizard) {
    ExpectTexts({
        {"path value keeps its backslashes",
         L"Processing [*]...",
         {L"C:\\temp\\new\\MSADO15.DLL"},
         L"Processing C:\\temp\\new\\MSADO15.DLL..."},
        {"German text",
         L"Klicken Sie auf '[*]'.",
         {L"MDAC-Dateien pr\u00fcfen und reparieren"},
         L"Klicken Sie auf 'MDAC-Dateien pr\u00fcfen und reparieren'."},
        {"version",
         L"According to the Windows registry, you have MDAC [*] installed.",
         {L"2.80"},
         L"According to the Windows registry, you have MDAC 2.80 installed."},
    });
}

TEST(FormatPlaceholders, PicksValuesInOrderOrByIndex) {
    ExpectTexts({
        {"swapped", L"[2:*] and [1:*]", {L"x", L"y"}, L"y and x"},
        {"explicit in order", L"[1:*][2:*]", {L"a", L"b"}, L"ab"},
        {"empty placeholder takes a position", L"[*], [], [*]", {L"a", L"b", L"c"}, L"a, , c"},
        {"index beyond the list uses the last", L"[*] and [9:*]", {L"a", L"b"}, L"a and b"},
        {"index beyond a single value", L"[3:*]", {L"a"}, L"a"},
        {"explicit index leaves the counter", L"[2:*][*]", {L"a", L"b"}, L"ba"},
        {"counter resumes after explicit index", L"[*][1:*][*]", {L"a", L"b"}, L"aab"},
        {"explicit index without pattern", L"[1:][*]", {L"a", L"b"}, L"a"},
        {"empty placeholder skips a value", L"[][*]", {L"a", L"b"}, L"b"},
        {"empty placeholder alone needs no value", L"[]", {}, L""},
        {"extra values are ignored", L"[*]", {L"a", L"b", L"c"}, L"a"},
        {"empty value", L"<[*]>", {TaggedValue()}, L"<>"},
        {"number value", L"[*] files", {std::int16_t{7}}, L"7 files"},
        {"embedded NUL survives", L"[*]", {std::wstring(L"a\0b", 3)}, std::wstring(L"a\0b", 3)},
    });
}

TEST(FormatPlaceholders, LeavesTextWithoutPlaceholdersAlone) {
    ExpectTexts({
        {"plain", L"plain text", {L"a", L"b"}, L"plain text"},
        {"plain without values", L"plain text", {}, L"plain text"},
        {"empty format", L"", {L"a"}, L""},
        {"closing bracket only", L"a]b", {}, L"a]b"},
    });
}

TEST(FormatPlaceholders, TurnsBackslashEscapesIntoCharacters) {
    ExpectTexts({
        {"all escapes", L"a\\tb \\\\ \\[x] \\n", {}, L"a\tb \\ [x] \r\n"},
        {"three backslashes then t", L"\\\\\\t", {}, L"\\\t"},
        {"two backslashes then n", L"\\\\n", {}, L"\\n"},
        {"two backslashes then t", L"\\\\t", {}, L"\\t"},
        {"four backslashes", L"\\\\\\\\", {}, L"\\\\"},
        {"carriage return alone", L"x\\ry", {}, L"x\ry"},
        {"return then newline", L"\\r\\n", {}, L"\r\r\n"},
        {"upper case letters are text", L"\\T\\R\\N", {}, L"\\T\\R\\N"},
        {"other backslashes are text", L"C:\\dir\\file", {}, L"C:\\dir\\file"},
        {"trailing backslash", L"end\\", {}, L"end\\"},
        {"escaped bracket needs no value", L"\\[*]", {}, L"[*]"},
        {"escaped backslash uses no value", L"\\\\[*]", {L"v"}, L"\\v"},
        {"escapes do not apply to values", L"[*]", {L"a\\tb\\n"}, L"a\\tb\\n"},
    });
}

TEST(FormatPlaceholders, BracketAndBackslashPlaceholdersUseNoValue) {
    ExpectTexts({
        {"bracket", L"[(]x[*]", {L"v"}, L"[xv"},
        {"backslash", L"[\\]x[*]", {L"v"}, L"\\xv"},
        {"inserted bracket is not rescanned", L"[(]*]", {}, L"[*]"},
        {"bracket with explicit index", L"[2:(][*]", {L"a", L"b"}, L"[a"},
        {"backslash with explicit index", L"[1:\\][*]", {L"a"}, L"\\a"},
    });
}

TEST(FormatPlaceholders, InsertsValuesLiterally) {
    ExpectTexts({
        {"placeholder-like values", L"[*]|[*]", {L"[*]", L"\\n[1:*]"}, L"[*]|\\n[1:*]"},
        {"unclosed bracket in value", L"[*] and [*]", {L"[", L"b"}, L"[ and b"},
    });
}

TEST(FormatPlaceholders, FormatsByPattern) {
    ExpectTexts({
        {"leading zeros", L"[00]", {std::int32_t{7}}, L"07"},
        {"negative with zeros", L"[000]", {std::int32_t{-3}}, L"-003"},
        {"upper case text", L"[>]", {L"abc"}, L"ABC"},
        {"date", L"Built [dd.mm.yyyy]", {DateValue{kFirstOf2000}}, L"Built 01.01.2000"},
        {"explicit index with pattern", L"[2:00]/[*]", {L"a", std::int32_t{5}}, L"05/a"},
    });
}

TEST(FormatPlaceholders, FormatsDecimalsWithTheLocaleSeparator) {
    if (!DecimalSeparatorIsPoint()) GTEST_SKIP() << "decimal separator is " << Show(LocaleText(LOCALE_SDECIMAL));
    ExpectTexts({
        {"rounded number", L"Total: [0.00]", {3.14159}, L"Total: 3.14"},
        {"numeric text", L"Total: [0.00]", {L"3.14159"}, L"Total: 3.14"},
        {"number as text", L"[*]", {3.14159}, L"3.14159"},
    });
}

TEST(FormatPlaceholders, DigitWithoutColonIsNoIndex) {
    struct SuffixCase {
        const char* label;
        std::wstring format;
        TaggedValueList values;
        std::wstring tail;
    };
    const std::vector<SuffixCase> cases = {
        // A zero index would point before the first value and fail.
        {"zero", L"[0:*][*]", {5.0, L"second"}, L"second"},
        // Read as index 1 the counter would stay and repeat the first value.
        {"two digits", L"[12:*][*]", {5.0, L"second"}, L"second"},
        {"first closing bracket ends the content", L"[a[b]c]", {L"v"}, L"c]"},
    };
    for (const SuffixCase& c : cases) {
        SCOPED_TRACE(std::string(c.label) + ": format " + Show(c.format));
        const Outcome found = Fill(c.format, c.values);
        ASSERT_FALSE(found.raised) << Explain(found);
        EXPECT_TRUE(EndsWith(found.text, c.tail))
            << "found " << Show(found.text) << ", expected to end with " << Show(c.tail);
    }
}

TEST(FormatPlaceholders, ReportsMissingClosingBracket) {
    ExpectErrors({
        {"in the text", L"Open [ here", {}, kMissingBracket, L"printf", MissingBracketAt(6)},
        {"alone", L"[", {}, kMissingBracket, L"printf", MissingBracketAt(1)},
        {"after a closing bracket", L"]x[", {}, kMissingBracket, L"printf", MissingBracketAt(3)},
        {"after a longer value", L"[*] [", {L"abc"}, kMissingBracket, L"printf", MissingBracketAt(5)},
        {"after a one-character value", L"[*] [", {L"x"}, kMissingBracket, L"printf", MissingBracketAt(3)},
        {"after an empty value", L"[*] [", {L""}, kMissingBracket, L"printf", MissingBracketAt(2)},
        {"after an inserted bracket", L"[(][", {}, kMissingBracket, L"printf", MissingBracketAt(2)},
        {"counted after escapes", L"\\\\[", {}, kMissingBracket, L"printf", MissingBracketAt(2)},
        {"newline escape is two characters", L"\\n[", {}, kMissingBracket, L"printf", MissingBracketAt(3)},
        {"surrogate pair is two characters", L"\U0001F600[", {}, kMissingBracket, L"printf", MissingBracketAt(3)},
    });
}

TEST(FormatPlaceholders, ReportsMissingValues) {
    ExpectErrors({
        {"second value missing", L"[*] and [*]", {L"one"}, kMissingValue, L"printf", MissingValueFor(L"[*]")},
        {"no values", L"[*]", {}, kMissingValue, L"printf", MissingValueFor(L"[*]")},
        {"pattern", L"[0.00]", {}, kMissingValue, L"printf", MissingValueFor(L"[0.00]")},
        {"explicit index names the pattern only",
         L"[2:0.00]",
         {},
         kMissingValue,
         L"printf",
         MissingValueFor(L"[0.00]")},
        {"explicit index, no values", L"[1:*]", {}, kMissingValue, L"printf", MissingValueFor(L"[*]")},
        {"empty placeholder used the only value", L"[][*]", {L"a"}, kMissingValue, L"printf", MissingValueFor(L"[*]")},
        {"first error wins", L"[*] [=x]", {}, kMissingValue, L"printf", MissingValueFor(L"[*]")},
    });
}

TEST(FormatPlaceholders, RejectsScriptCode) {
    ExpectErrors({
        {"no values", L"[=1+1]", {}, kScriptCode, L"sprintf", kScriptDescription},
        {"with values", L"[=1+1]", {L"a", L"b"}, kScriptCode, L"sprintf", kScriptDescription},
        {"behind an explicit index", L"[1:=x]", {}, kScriptCode, L"sprintf", kScriptDescription},
        {"before a missing bracket", L"[=x] [", {}, kScriptCode, L"sprintf", kScriptDescription},
        {"after a filled placeholder", L"[*][=x]", {L"a"}, kScriptCode, L"sprintf", kScriptDescription},
    });
}

TEST(FormatPlaceholders, PassesConversionFailuresOn) {
    for (const wchar_t* format : {L"[*]", L"[dd.mm.yyyy]"}) {
        SCOPED_TRACE(Show(format));
        const Outcome found = Fill(format, {DateValue{kOutOfRangeDate}});
        ASSERT_TRUE(found.raised) << Explain(found);
        EXPECT_EQ(kInvalidArg, found.number);
        EXPECT_EQ(L"modAPI", found.source);
        EXPECT_FALSE(found.description.empty());
    }
}

TEST(ValueToText, ConvertsLikeOleAutomation) {
    struct Case {
        const char* label;
        TaggedValue value;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {"int16", std::int16_t{7}, L"7"},
        {"int16 minimum", std::int16_t{-32768}, L"-32768"},
        {"int32", std::int32_t{-5}, L"-5"},
        {"int32 maximum", std::int32_t{2147483647}, L"2147483647"},
        {"whole double", 42.0, L"42"},
        // Without VARIANT_ALPHABOOL OLE writes booleans as numbers.
        {"true", true, L"-1"},
        {"false", false, L"0"},
        {"empty", TaggedValue(), L""},
        {"text is not normalised", L" 007 ", L" 007 "},
        {"text keeps NULs", std::wstring(L"a\0b", 3), std::wstring(L"a\0b", 3)},
        // OLE takes the bytes as the string's own UTF-16 memory.
        {"bytes", ByteArray{0x41, 0x00, 0x42, 0x00}, L"AB"},
        {"no bytes", ByteArray{}, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome found = Capture([&] { return ValueToText(c.value); });
        EXPECT_FALSE(found.raised) << Explain(found);
        EXPECT_EQ(c.expected, found.text);
    }
}

TEST(ValueToText, WritesDatesInTheShortDateFormat) {
    if (LocaleText(LOCALE_SSHORTDATE) != L"M/d/yyyy" || LocaleText(LOCALE_STIMEFORMAT) != L"h:mm:ss tt") {
        GTEST_SKIP() << "date format " << Show(LocaleText(LOCALE_SSHORTDATE)) << ", time format "
                     << Show(LocaleText(LOCALE_STIMEFORMAT));
    }
    struct Case {
        double serial;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {kFirstOf2000, L"1/1/2000"},
        {kFirstOf2000 + 0.5, L"1/1/2000 12:00:00 PM"},
        {0.75, L"6:00:00 PM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        const Outcome found = Capture([&] { return ValueToText(DateValue{c.serial}); });
        EXPECT_FALSE(found.raised) << Explain(found);
        EXPECT_EQ(c.expected, found.text);
    }
}

TEST(ValueToText, RaisesWhatOleReports) {
    const Outcome found = Capture([] { return ValueToText(DateValue{kOutOfRangeDate}); });
    ASSERT_TRUE(found.raised) << Explain(found);
    EXPECT_EQ(kInvalidArg, found.number);
    EXPECT_EQ(L"modAPI", found.source);
    ASSERT_FALSE(found.description.empty());
    EXPECT_NE(L'\n', found.description.back()) << Show(found.description);
}

TEST(FormatValueWithPattern, FormatsLikeVarFormat) {
    struct Case {
        const char* label;
        TaggedValue value;
        std::wstring pattern;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {"day month year", DateValue{kFirstOf2000 + 0.5}, L"dd.mm.yyyy", L"01.01.2000"},
        {"ISO date and time", DateValue{kFirstOf2000 + 0.5}, L"yyyy-mm-dd hh:nn:ss", L"2000-01-01 12:00:00"},
        {"Saturday is day 7 when weeks start on Sunday", DateValue{kFirstOf2000}, L"w", L"7"},
        {"Sunday is day 1 when weeks start on Sunday", DateValue{kSecondOf2000}, L"w", L"1"},
        {"date text", L"2000-01-02", L"dd.mm.yyyy", L"02.01.2000"},
        {"leading zeros", std::int16_t{7}, L"000", L"007"},
        {"upper case", L"abc", L">", L"ABC"},
        {"right aligned", L"abc", L"@@@@@", L"  abc"},
        {"non-numeric text with number pattern", L"abc", L"0.00", L"abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.label) + ": pattern " + Show(c.pattern));
        const Outcome found = Capture([&] { return FormatValueWithPattern(c.value, c.pattern); });
        EXPECT_FALSE(found.raised) << Explain(found);
        EXPECT_EQ(c.expected, found.text);
    }
}

TEST(FormatValueWithPattern, RaisesWhatOleReports) {
    const Outcome found = Capture([] { return FormatValueWithPattern(DateValue{kOutOfRangeDate}, L"dd"); });
    ASSERT_TRUE(found.raised) << Explain(found);
    EXPECT_EQ(kInvalidArg, found.number);
    EXPECT_EQ(L"modAPI", found.source);
    EXPECT_FALSE(found.description.empty());
}
