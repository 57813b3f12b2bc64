#pragma once
// Real files for tests: the stand-in component DLL copied into the test
// prefix under any name, with the version resource a scenario needs.

#include <windows.h>

#include <string>

#include "winsupport/Handles.h"
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

// Runs a program to its end, its standard output going to a file: its exit
// code and what it wrote; ~0 when it did not start or end within a minute.
struct ProgramRun {
    DWORD exitCode = ~0UL;
    std::string output;
};
ProgramRun RunProgram(const std::wstring& program, const std::wstring& arguments);

// Creates the directory and any missing parents; true when it exists afterwards.
bool CreateDirectories(const std::wstring& path);

// Deletes the directory with everything in it, if it exists.
void RemoveTree(const std::wstring& path);

// Copies a file built beside the tests (named by its environment variable) to
// target, creating missing directories. False on any failure.
bool InstallVariant(const char* builtVariable, const std::wstring& target);

// A new, empty directory of its own below the temporary directory; empty on
// failure. The caller removes it (RemoveTree).
std::wstring NewScratchDirectory();

// The path's long form when the file exists, else the path as it is.
std::wstring LongPath(const std::wstring& path);

// Case-insensitive, as Windows compares file names.
bool SamePath(const std::wstring& a, const std::wstring& b);

// Changes to files of the shared prefix, all taken back on Restore or
// destruction: replaced or deleted files return from a backup, new files and
// the directories made for them go again.
class PrefixChanges {
public:
    PrefixChanges();
    ~PrefixChanges();
    PrefixChanges(const PrefixChanges&) = delete;
    PrefixChanges& operator=(const PrefixChanges&) = delete;

    // Copies source to target (creating missing directories).
    bool Place(const std::wstring& source, const std::wstring& target);
    // Deletes the file if it exists.
    bool Remove(const std::wstring& target);
    // Puts every changed file back; true when all of them are back.
    bool Restore();

private:
    struct Changed {
        std::wstring target;
        std::wstring backup;  // empty: the file did not exist before
    };
    bool Remember(const std::wstring& target);
    bool MakeParents(const std::wstring& target);

    std::wstring backupDirectory_;
    std::vector<Changed> changed_;
    std::vector<std::wstring> madeDirectories_;
};

// Makes Wine load the DLL files themselves, not its own built-in DLLs of the
// same names, for as long as it lives; the earlier settings come back after.
// Wine prefers its built-ins even for a full path, and even when reading a
// file's version information.
class NativeDllOverrides {
public:
    explicit NativeDllOverrides(const std::vector<std::wstring>& fileNames);
    ~NativeDllOverrides();
    NativeDllOverrides(const NativeDllOverrides&) = delete;
    NativeDllOverrides& operator=(const NativeDllOverrides&) = delete;
    bool Applied() const { return applied_; }

private:
    struct Earlier {
        std::wstring name;
        bool existed;
        std::wstring value;
    };
    std::vector<Earlier> earlier_;
    bool keyExisted_ = false;
    bool applied_ = false;
};

// The data-access classes as they were registered, all back on destruction:
// stand-ins registered by a run register classes of their own under the
// table's names, which later tests in the same prefix must not find.
class ClassRegistrations {
public:
    explicit ClassRegistrations(const std::vector<std::wstring>& progIds);
    ~ClassRegistrations();
    ClassRegistrations(const ClassRegistrations&) = delete;
    ClassRegistrations& operator=(const ClassRegistrations&) = delete;

private:
    struct Earlier {
        std::wstring progId;
        bool existed;
        std::wstring clsid;
    };
    std::vector<Earlier> earlier_;
};

// ---- the component catalogue as the tests expect it --------------------------------

struct CatalogueFile {
    bool inSystemDirectory;   // else below the common program files
    const wchar_t* relative;  // appended to the base directory
    bool skipRegistration;
    bool hideFromList;
};

// The 31 component files in their catalogue order.
const std::vector<CatalogueFile>& ExpectedCatalogue();

// The common program files folder and the system directory of this process.
std::wstring CommonFilesDirectory();
std::wstring SystemDirectory();
std::wstring CataloguePath(const CatalogueFile& file);
// The catalogue's file names, for NativeDllOverrides.
std::vector<std::wstring> CatalogueFileNames();

// Holds a file open without sharing, from the locker helper process, while it
// lives; another process's lock is what a running program holds on its DLLs.
class LockedFile {
public:
    explicit LockedFile(const std::wstring& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool Held() const { return held_; }

private:
    UniqueKernelHandle ready_, release_, process_;
    bool held_ = false;
};

}  // namespace fixtures
