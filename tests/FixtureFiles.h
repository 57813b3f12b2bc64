#pragma once
// Real files for tests: the stand-in component DLL copied into the test
// prefix under any name, with the version resource a scenario needs.

#include <windows.h>

#include <string>
#include <vector>

namespace fixtures {

// The Windows path of a file built beside the tests, named by an environment
// variable that holds its Unix path.
std::wstring BuiltFile(const char* environmentVariable);

// Copies the stand-in component to target (creating missing directories) and
// sets its file version to major.minor.build.revision. False on any failure.
bool InstallStandIn(const std::wstring& target, WORD major, WORD minor, WORD build, WORD revision);

// Copies the stand-in that carries no version resource at all.
bool InstallUnversionedStandIn(const std::wstring& target);

// Replaces the version resource of an existing file.
bool StampVersion(const std::wstring& file, WORD major, WORD minor, WORD build, WORD revision);

// Deletes a file if it exists.
void RemoveFile(const std::wstring& path);

// A complete VS_VERSIONINFO resource with file and product version
// major.minor.build.revision, a StringFileInfo and a VarFileInfo.
std::vector<BYTE> VersionResource(WORD major, WORD minor, WORD build, WORD revision);

// Replaces every version resource of an existing executable by one holding
// the given bytes as they are (malformed ones included); an empty blob just
// removes them. Other resources stay.
bool StampRawVersionResource(const std::wstring& file, const std::vector<BYTE>& blob);

// Writes a plain file (not an executable), replacing any old one.
bool WriteBytes(const std::wstring& path, const std::string& bytes);

// The file's lines without their line ends; empty when it cannot be read.
std::vector<std::string> ReadLines(const std::wstring& path);

// Creates the directory and any missing parents; true when it exists afterwards.
bool CreateDirectories(const std::wstring& path);

// Deletes the directory with everything in it, if it exists.
void RemoveTree(const std::wstring& path);

}  // namespace fixtures
