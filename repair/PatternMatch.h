#pragma once
// The pattern test that decides a file version list row's icon.

#include <string_view>

// True when the whole text matches the pattern, compared character by
// character and case-sensitively: "*" any run of characters, "?" any one
// character, "#" one digit, "[list]" one character of the list (ranges such as
// 0-9 allowed), "[!list]" one character not in it. A "[" without its "]" is an
// ordinary character.
bool MatchesPattern(std::wstring_view text, std::wstring_view pattern);
