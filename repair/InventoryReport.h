#pragma once
// The inventory as a person reads it: one row per item with what 32-bit and
// what 64-bit programs find, in words, the faults first; the answer for one
// checked program; and all of it as text for a helper or a forum post.

#include <string>
#include <vector>

#include "repair/DataAccessInventory.h"
#include "repair/ProgramCheck.h"

struct InventoryRow {
    std::wstring item;
    std::wstring bits32;
    std::wstring bits64;
    std::wstring note;
    bool fault = false;  // needs a person: marked and listed first
};

// What a checked program can use, for each program that runs it.
struct ProgramAnswer {
    ProgramIdentity identity;
    std::vector<std::vector<ProgramCan>> uses;  // by identity.hosts
};

ProgramAnswer AnswerForProgram(const ProgramIdentity& identity, const Inventory& inventory);
// What the program is and what it can and cannot use, in sentences.
std::wstring AnswerText(const ProgramAnswer& answer);

// One row per item named in either view; program, when given, marks its items.
std::vector<InventoryRow> InventoryRows(const Inventory& inventory, const ProgramAnswer* program = nullptr);

// The title, the answer when there is one, the column captions and the rows,
// tab-separated, one line each.
std::wstring InventoryReportText(const std::vector<InventoryRow>& rows, const std::wstring& answer);
