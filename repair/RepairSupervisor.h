#pragma once
// The window runs with the user's rights; its repair run needs an
// administrator's. One process, started through the consent prompt when the
// program runs without them, registers for the whole run: it builds the
// catalogue itself and takes nothing from the window but the number of an
// entry to register. It starts, times and restarts the registration worker
// itself, so a crashing or hanging component never asks the user twice and
// the window never has to end a process with more rights than its own.

#include <windows.h>

#include <cstdint>
#include <string>

#include "repair/RepairRun.h"
#include "repair/SupervisorRequest.h"
#include "winsupport/Handles.h"

enum class Rights {
    Administrator,  // elevated, or an administrator where Windows has no consent prompt
    CanAsk,         // Vista or later, not elevated: the consent prompt can grant them
    User,           // no administrator and no prompt to ask (before Vista)
};
Rights CurrentRights();

// Lets tests stand in for what Wine cannot show (it elevates every process and
// has no consent prompt): a program that runs without elevation, and a prompt
// the user declines; and see every start of the supervisor.
struct ElevationSeam {
    bool notElevated = false;
    unsigned long launchError = ERROR_SUCCESS;  // returned in place of the start
    void (*launched)(const std::wstring& verb, const std::wstring& parameters) = nullptr;
};
void SetElevationSeam(const ElevationSeam& seam);

// Shared by the window and the supervisor: the window writes the request, the
// supervisor the answer, and marks it with the request's sequence last.
struct SupervisorChannel {
    SupervisorRequest request;
    LONG answered;
    LONG kind;  // a RegistrationOutcome::Kind, or one of the two below
    DWORD code;
};
constexpr LONG kSupervisorRefused = 100;
constexpr LONG kSupervisorReady = 101;

class RepairSupervisor final : public Registrar {
public:
    RepairSupervisor() = default;
    RepairSupervisor(const RepairSupervisor&) = delete;
    RepairSupervisor& operator=(const RepairSupervisor&) = delete;
    // Tells the supervisor to end and waits a while; never ends it.
    ~RepairSupervisor();

    // Starts the supervisor, through the consent prompt when asked to, and
    // waits until it serves: ERROR_SUCCESS, or why not (ERROR_CANCELLED: the
    // user declined).
    unsigned long Start(HWND owner, bool elevate);

    // Has the supervisor register the entry, waiting as a registration in a
    // worker of this process would, and then a while for the supervisor.
    RegistrationOutcome Register(std::size_t index, const ComponentFile& entry) override;

private:
    UniqueKernelHandle mapping_;
    UniqueHandle<NullHandleTraits<void*, &::UnmapViewOfFile>> view_;
    UniqueKernelHandle request_;
    UniqueKernelHandle done_;
    UniqueKernelHandle process_;
    std::uint32_t sequence_ = 0;
};

// The supervisor's side: when the command line is a supervisor's, serves the
// process named on it until told to stop or until it ends, and returns true
// with the exit code; otherwise returns false.
bool ServeRepairIfAsked(const wchar_t* commandLine, int& exitCode);
