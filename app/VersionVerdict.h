#pragma once
// What the version check page says about the installed MDAC and Jet, decided
// from what was found, and the version numbers it compares.

#include <string>
#include <string_view>

// Skips leading blanks and reads the longest leading decimal number (digits
// with at most one "." as decimal point, whatever the user's locale). A text
// that does not start with a number gives 0.
double VersionNumber(std::wstring_view text);

// From this MDAC version on, and from this Jet build on, no update is offered.
constexpr double kLatestMdacVersion = 2.81;
constexpr double kLatestJetBuild = 8015;

struct ComponentVerdict {
    std::wstring text;     // the description under the heading
    bool upToDate = true;  // the check mark, otherwise the problem sign
    std::wstring link;     // the download address to show, empty for none
};

struct VersionVerdict {
    ComponentVerdict mdac;
    ComponentVerdict jet;  // with a link, the link moves below the Jet text
};

// mdacVersionPrefix: the first four characters of the installed MDAC version;
// jetVersion and jetBuild: msjet40.dll's version text and its build part.
VersionVerdict JudgeVersions(const std::wstring& mdacVersionPrefix, const std::wstring& jetVersion,
                             const std::wstring& jetBuild, int windowsVersion);

// The Jet engine's file, whose version the check reads.
std::wstring JetEnginePath(const std::wstring& systemDirectory);

// FullInstallVer as the registry holds it, up to its first NUL; empty when
// there is none.
std::wstring InstalledMdacVersion();
