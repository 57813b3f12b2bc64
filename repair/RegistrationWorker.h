#pragma once
// Registrations run in a process of their own: a second instance of this
// program, started for the repair run, that loads, calls and unloads each
// component on request. A component that crashes, hangs, changes the C locale
// or leaves handles open takes down or clutters that process only; the window
// reports the entry as failed and goes on with a new one. A worker of its own
// asks COM for the data-access classes of one pass and then ends, since COM
// keeps what it loaded.

#include <windows.h>

#include <string>

#include "repair/ClassCheck.h"
#include "repair/modDLLRegister.h"
#include "winsupport/Handles.h"

// How long one registration may take before it counts as hung.
DWORD RegistrationTimeLimit();
// Lets tests wait less for a component that never returns.
void SetRegistrationTimeLimit(DWORD milliseconds);

class RegistrationWorker {
public:
    RegistrationWorker() = default;
    RegistrationWorker(const RegistrationWorker&) = delete;
    RegistrationWorker& operator=(const RegistrationWorker&) = delete;
    // Lets the worker end; one that does not is ended.
    ~RegistrationWorker();

    // Starts the worker ahead of the first registration, so that its start
    // overlaps the run's waits; a failed start is tried again and reported by
    // the first registration.
    void StartEarly();

    // Registers one component in the worker, starting one first if none runs.
    // Waits up to the time limit and lets no window message through but those
    // other programs send (a component's broadcast would otherwise wait for
    // this thread as long as this thread waits for it).
    RegistrationOutcome Register(const std::string& path, const std::string& entryName);

    // Creates one instance of the class in the worker. A worker that checked
    // a class serves only the checks of that pass: one that crashed or hung is
    // replaced for the next check.
    ClassOutcome CheckClass(const std::wstring& progId);

private:
    DWORD Start();
    void End(DWORD waitMilliseconds);
    // Sends the request filled in the channel and waits for the answer;
    // Registered when one came, else what became of the worker.
    RegistrationOutcome Await();

    UniqueKernelHandle mapping_;
    UniqueHandle<NullHandleTraits<void*, &::UnmapViewOfFile>> view_;
    UniqueKernelHandle request_;
    UniqueKernelHandle done_;
    UniqueKernelHandle self_;  // this process, for the worker to end with it
    UniqueKernelHandle process_;
};

// The worker's side: when the command line is a worker's, serves requests
// until told to stop or until the program that started it ends, and returns
// true with the exit code; otherwise returns false.
bool ServeRegistrationsIfAsked(const wchar_t* commandLine, int& exitCode);
