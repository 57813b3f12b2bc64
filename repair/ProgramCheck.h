#pragma once
// The one program that fails: what it is from its file's headers (never
// started), which program runs or opens it, and what that program can use
// of what the inventory found.

#include <string>
#include <vector>

#include "repair/DataAccessInventory.h"

struct ProgramHost {
    std::wstring program;  // the program that runs: the file itself or its host
    RegistryView bits = RegistryView::Bits32;
};

struct ProgramIdentity {
    std::wstring path;
    std::vector<ProgramHost> hosts;  // empty: not a program, script, shortcut or database
    bool needsAccessEngine = false;  // an .accdb
    std::wstring reason;             // what the file is, or why it is none of these
};

// Needs OLE on the calling thread for a shortcut.
ProgramIdentity IdentifyProgram(const std::wstring& path);

struct ProgramCan {
    RegistryView view = RegistryView::Bits32;
    std::wstring name;
    std::wstring file;
    bool yes = false;
    std::wstring code;
    std::wstring wayOut;  // when it cannot
};

// Jet's provider, the Access engine's providers, the Access ODBC drivers and
// every data source, for a program of that bitness.
std::vector<ProgramCan> WhatItCanUse(const ProgramHost& host, const ProgramIdentity& identity,
                                     const Inventory& inventory);
