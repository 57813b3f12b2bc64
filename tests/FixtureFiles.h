#pragma once
// Real files for tests: the stand-in component DLL copied into the test
// prefix under any name, with the version resource a scenario needs.

#include <windows.h>

#include <string>

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

}  // namespace fixtures
