#pragma once
// The 31 MDAC and Jet component files: where they live, what version they
// have, and how the repair run and the file list treat each.

#include <cstdint>
#include <string>
#include <vector>

// The version text of a file whose version information cannot be read.
inline constexpr wchar_t kNoFileVersion[] = L"N/A";

struct ComponentFile {
    std::wstring FileName;
    std::wstring FilePath;
    std::wstring CataloguePath;  // where the file belongs, found or not
    std::wstring FileVersion;
    std::uint16_t VersionMajor = 0;
    std::uint16_t VersionMinor = 0;
    std::uint16_t VersionBuild = 0;
    bool SkipRegistration = false;
    bool HideFromList = false;
};

using ComponentFileTable = std::vector<ComponentFile>;

// Where the catalogue's shared component folders lie (Common Files); empty
// when the system cannot say.
std::wstring CommonFilesFolder();
// The catalogue with every file's version read; paths start at the common
// files folder or the system directory (root-relative when one is empty).
ComponentFileTable BuildCatalogue(const std::wstring& commonFiles, const std::wstring& systemDirectory);
// One file's entry: its name, and its path and version text if its version
// can be read, otherwise message 102 and kNoFileVersion.
ComponentFile ReadComponentFile(const std::wstring& path);
// The text after the last backslash, or the whole path without one.
std::wstring FileNameOf(const std::wstring& path);

// Whether the repair run registers the entry: a file found with its version,
// and not one of the files that are never registered.
bool IsRegisteredByRun(const ComponentFile& entry);
// The running Windows' major and minor version, as the kernel reports it.
struct WindowsRelease;
// Whether the file list marks the entry as part of the installed MDAC: its
// version starts with the MDAC version prefix, or, from Vista on, where the
// components are part of Windows, with the running Windows' own version.
bool MatchesMdacVersion(const ComponentFile& entry, const std::wstring& mdacVersionPrefix,
                        const WindowsRelease& windows);
