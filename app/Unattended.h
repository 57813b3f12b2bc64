#pragma once
// The check and the repair without a window, for deployment tools: results
// as tab-separated lines, the outcome as the exit code.

#include "app/CommandLine.h"

// Exit codes besides the check's and the repair's own 0 and 1.
constexpr int kExitLogNotWritable = 2;
constexpr int kExitCouldNotRun = 3;
// /check: nothing for the repair to do, but faults that need a person.
constexpr int kExitNeedsPerson = 4;
constexpr int kExitBadCommandLine = 87;      // ERROR_INVALID_PARAMETER
constexpr int kExitElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED

// Runs a /check or /repair request, or reports why it was not understood.
int RunUnattended(const CommandRequest& request);
