// The pattern test behind the file list's icons.

#include <gtest/gtest.h>

#include <string>

#include "repair/PatternMatch.h"

namespace {

struct Case {
    const wchar_t* text;
    const wchar_t* pattern;
    bool matches;
};

TEST(MatchesPattern, PatternLanguage) {
    const Case cases[] = {
        // the file list's own use: the MDAC prefix followed by "*"
        {L"2.81.1117", L"2.81*", true},
        {L"2.8.1117", L"2.81*", false},
        {L"2.810.5", L"2.81*", true},
        {L"N/A", L"2.81*", false},
        {L"N/A", L"*", true},
        {L"", L"*", true},
        {L"2.81", L"2.81*", true},
        {L"6.0.6000", L"6.0.*", true},
        // "*" matches any run, also none, anywhere
        {L"abc", L"a*c", true},
        {L"ac", L"a*c", true},
        {L"abcbc", L"a*bc", true},
        {L"abcb", L"a*bc", false},
        {L"abc", L"**", true},
        {L"", L"", true},
        {L"a", L"", false},
        {L"", L"a", false},
        // "?" one character, "#" one digit
        {L"a1c", L"a?c", true},
        {L"ac", L"a?c", false},
        {L"a1c", L"a#c", true},
        {L"abc", L"a#c", false},
        {L"2.81.1117", L"#.##.####", true},
        // character lists and ranges, negated lists
        {L"b", L"[abc]", true},
        {L"d", L"[abc]", false},
        {L"5", L"[0-9]", true},
        {L"x", L"[!0-9]", true},
        {L"5", L"[!0-9]", false},
        {L"-", L"[a-]", true},
        {L"!", L"[a!]", true},
        {L"B", L"[a-z]", false},
        // case matters
        {L"ABC", L"abc", false},
        {L"MSADO15.DLL", L"MSADO15.DLL", true},
        // an unclosed "[" is an ordinary character, "]" alone as well
        {L"2.[8", L"2.[8*", true},
        {L"a]b", L"a]b", true},
        // "[]" takes no character
        {L"ab", L"a[]b", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesPattern(c.text, c.pattern), c.matches)
            << "text '" << std::wstring(c.text).size() << " chars' pattern index " << (&c - cases);
    }
}

TEST(MatchesPattern, LongTextsWithManyStarsStayFast) {
    const std::wstring text(20000, L'a');
    std::wstring pattern;
    for (int i = 0; i < 200; ++i) pattern += L"*a";
    pattern += L"b";
    EXPECT_FALSE(MatchesPattern(text, pattern));
    EXPECT_TRUE(MatchesPattern(text + L"b", pattern));
}

}  // namespace
