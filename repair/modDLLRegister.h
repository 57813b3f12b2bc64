#pragma once
// Calls a component DLL's self-registration entry point.

#include <string>

// How one registration ended. `code` is the Windows error of a failed load or
// start, the entry point's HRESULT, or the exception or exit code of a
// component that ended the process registering it.
struct RegistrationOutcome {
    enum class Kind {
        Registered,        // the entry point returned success
        LoadFailed,        // the DLL could not be loaded (code: the last error)
        NoEntryPoint,      // it loaded but does not export the entry point
        EntryPointFailed,  // the entry point returned a failure HRESULT
        Crashed,           // the registering process ended inside the component
        TimedOut,          // the entry point did not return in time
        NotStarted,        // no process to register in could be started
    };
    Kind kind = Kind::Registered;
    unsigned long code = 0;

    bool Failed() const { return kind != Kind::Registered; }
};

// Loads the DLL by its absolute path (its own dependencies from its folder and
// the system directory), calls the named entry point if it is exported and
// unloads the DLL again. A path that is not absolute is never loaded.
RegistrationOutcome RegisterDll(const std::string& path, const std::string& entryName, const std::wstring& fileName);

// The system's text for a Windows error code, or "Error text not found.".
std::wstring SystemErrorText(unsigned long errorCode);
