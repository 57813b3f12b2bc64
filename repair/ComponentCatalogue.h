#pragma once
// One component file of the repair catalogue and what was learned about it.

#include <cstdint>
#include <string>
#include <vector>

// The version text of a file whose version information cannot be read.
inline constexpr wchar_t kNoFileVersion[] = L"N/A";

struct ComponentFile {
    std::wstring FileName;
    std::wstring FilePath;
    std::wstring FileVersion;
    std::uint16_t VersionMajor = 0;
    std::uint16_t VersionMinor = 0;
    std::uint16_t VersionBuild = 0;
    bool SkipRegistration = false;
    bool HideFromList = false;
};

using ComponentFileTable = std::vector<ComponentFile>;
