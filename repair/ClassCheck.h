#pragma once
// Whether a database program can use the data-access classes: each class is
// asked of COM as such a program asks, by its ProgID and in-process, so that a
// registration that failed, or that reported success and wrote nothing, shows.

#include <functional>
#include <string>
#include <vector>

#include "repair/ComponentCatalogue.h"
#include "repair/modDLLRegister.h"

struct DataAccessClass {
    std::wstring progId;
    std::wstring fileName;  // the catalogue file that provides it
};

// The classes database programs create, by their public ProgIDs.
const std::vector<DataAccessClass>& DataAccessClasses();

enum class ClassState {
    Ready,          // created and released
    NotRegistered,  // no ProgID, no class key or no server path
    FileMissing,    // the server path names no file
    WrongBitness,   // the server is a file of the other bitness
    Fails,          // any other failure, a crash or a hang
};

struct ClassOutcome {
    ClassState state = ClassState::Ready;
    // What gives the code and the reason: the HRESULT or Windows error of the
    // step that failed (as EntryPointFailed), or the checking process's crash,
    // hang or failed start.
    RegistrationOutcome how;
    std::wstring path;  // the class's InprocServer32 as registered, expanded
};

// The checking process's side: resolves the ProgID, reads the server path in
// this process's registry view (handed to pathFound before the server runs),
// creates one instance and releases it.
ClassOutcome CheckClassHere(const std::wstring& progId, const std::function<void(const std::wstring&)>& pathFound = {});

struct ClassReport {
    DataAccessClass dataClass;
    ClassOutcome outcome;
    bool filePresent = false;  // the catalogue file that provides it
};

class RegistrationWorker;

// Checks each class in a process of its own. keepAlive runs between two
// checks; false ends the check there.
std::vector<ClassReport> CheckClasses(const std::vector<DataAccessClass>& classes, const ComponentFileTable& catalogue,
                                      const std::function<bool()>& keepAlive = {});
// The same in a worker the caller started early, which has checked no class
// yet.
std::vector<ClassReport> CheckClasses(const std::vector<DataAccessClass>& classes, const ComponentFileTable& catalogue,
                                      RegistrationWorker& worker, const std::function<bool()>& keepAlive = {});

// A class counts as broken only while its file is there: a missing file is
// reported as such already.
bool IsBroken(const ClassReport& report);
bool AnyBroken(const std::vector<ClassReport>& reports);
// For the log: ready, not-registered, file-missing, wrong-bitness or fails.
const wchar_t* ClassKeyword(ClassState state);
// The code as 0x and eight hex digits, empty for a ready class or a hang.
std::wstring ClassCode(const ClassReport& report);
// Why the class cannot be used, in the user's words.
std::wstring ClassReason(const ClassReport& report);
