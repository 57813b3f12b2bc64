#pragma once
// Reading a version number out of a version text, as the version check page
// compares it with its thresholds.

#include <string_view>

// Skips leading blanks and reads the longest leading decimal number (digits
// with at most one "." as decimal point, whatever the user's locale). A text
// that does not start with a number gives 0.
double VersionNumber(std::wstring_view text);

// From this MDAC version on, and from this Jet build on, no update is offered.
constexpr double kLatestMdacVersion = 2.81;
constexpr double kLatestJetBuild = 8015;
