#pragma once
// What the program was asked to do: the wizard, or a check or repair without
// a window for those who look after many PCs.

#include <string>
#include <vector>

enum class CommandMode { Wizard, Check, Repair, Usage };

struct CommandRequest {
    CommandMode mode = CommandMode::Wizard;
    std::wstring logPath;      // empty: the console, if there is one
    std::wstring programPath;  // /check /program: the program that fails
    bool json = false;         // JSON Lines ending in a summary, in place of tab-separated lines
    std::wstring error;        // why the command line was not understood; empty if it was
};

// Reads the arguments after the program's name. Options start with "/" or
// "-" and are compared without regard to case: /check, /repair, /log:FILE, /program:FILE,
// /json, /?.
CommandRequest ParseCommandLine(const std::vector<std::wstring>& arguments);
