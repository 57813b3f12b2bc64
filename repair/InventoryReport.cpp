#include "repair/InventoryReport.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "winsupport/MessageCatalogue.h"
#include "winsupport/modAPI.h"

namespace {

struct StateWord {
    const wchar_t* keyword;
    int message;
};

constexpr StateWord kStateWords[] = {
    {L"ready", msg::StateReady},
    {L"registered", msg::StateRegistered},
    {L"not-registered", msg::StateNotRegistered},
    {L"file-missing", msg::StateFileMissing},
    {L"wrong-bitness", msg::StateWrongBitness},
    {L"fails", msg::StateFails},
    {L"present", msg::StatePresent},
    {L"no-engine", msg::StateNoEngine},
    {L"usable", msg::StateUsable},
    {L"driver-missing", msg::StateDriverMissing},
    {L"database-missing", msg::StateDatabaseMissing},
};

std::wstring StateInWords(const std::wstring& keyword) {
    for (const StateWord& word : kStateWords) {
        if (keyword == word.keyword) return LoadMessage(word.message);
    }
    return keyword;
}

// What a view without the item shows.
std::wstring AbsentInWords(ItemKind kind) {
    switch (kind) {
        case ItemKind::Provider:
            return LoadMessage(msg::StateNotRegistered);
        case ItemKind::Dsn:
            return LoadMessage(msg::StateNotSetUp);
        case ItemKind::OdbcDriver:
        case ItemKind::Isam:
            break;
    }
    return LoadMessage(msg::StateNotInstalled);
}

int KindMessage(ItemKind kind) {
    switch (kind) {
        case ItemKind::Provider:
            return msg::KindProvider;
        case ItemKind::OdbcDriver:
            return msg::KindOdbcDriver;
        case ItemKind::Dsn:
            return msg::KindDsn;
        case ItemKind::Isam:
            break;
    }
    return msg::KindIsam;
}

bool SameName(const std::wstring& left, const std::wstring& right) {
    return ::lstrcmpiW(left.c_str(), right.c_str()) == 0;
}

// A state that needs no explanation beside it.
bool Plain(const std::wstring& state) {
    return state == L"ready" || state == L"registered" || state == L"present" || state == L"usable";
}

// An item as both views have it.
struct Gathered {
    ItemKind kind = ItemKind::Provider;
    std::wstring name;
    const InventoryItem* byView[2] = {nullptr, nullptr};
};

size_t Slot(RegistryView view) {
    return view == RegistryView::Bits64 ? 1 : 0;
}

std::wstring ViewCaption(RegistryView view) {
    return LoadMessage(view == RegistryView::Bits64 ? msg::Programs64Caption : msg::Programs32Caption);
}

std::wstring Joined(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names) text += (text.empty() ? L"" : L", ") + name;
    return text;
}

std::wstring Sentence(std::wstring text, const std::wstring& more) {
    if (more.empty()) return text;
    return text.empty() ? more : text + L" " + more;
}

}  // namespace

ProgramAnswer AnswerForProgram(const ProgramIdentity& identity, const Inventory& inventory) {
    ProgramAnswer answer;
    answer.identity = identity;
    for (const ProgramHost& host : identity.hosts) answer.uses.push_back(WhatItCanUse(host, identity, inventory));
    return answer;
}

std::wstring AnswerText(const ProgramAnswer& answer) {
    const ProgramIdentity& identity = answer.identity;
    std::wstring text = identity.path + L": " + identity.reason;
    for (size_t host = 0; host < identity.hosts.size() && host < answer.uses.size(); ++host) {
        // A script of either PowerShell, or a program opened by another: the bitness it runs as.
        if (identity.hosts.size() > 1 || identity.hosts[host].program != identity.path)
            text =
                Sentence(text, FormatPlaceholders(LoadMessage(msg::RunsAsBits), {ViewBits(identity.hosts[host].bits)}));
        std::vector<std::wstring> can;
        std::vector<std::wstring> cannot;
        std::wstring wayOut;
        for (const ProgramCan& item : answer.uses[host]) {
            (item.yes ? can : cannot).push_back(item.name);
            if (!item.yes && wayOut.empty() && item.name == L"Microsoft.Jet.OLEDB.4.0") wayOut = item.wayOut;
        }
        if (!can.empty()) text = Sentence(text, FormatPlaceholders(LoadMessage(msg::ItCanUse), {Joined(can)}));
        if (!cannot.empty()) text = Sentence(text, FormatPlaceholders(LoadMessage(msg::ItCannotUse), {Joined(cannot)}));
        text = Sentence(text, wayOut);
    }
    return text;
}

std::vector<InventoryRow> InventoryRows(const Inventory& inventory, const ProgramAnswer* program) {
    std::vector<Gathered> gathered;
    for (const InventoryItem& item : inventory.items) {
        if (item.otherAccount) continue;  // the window shows what its own user's programs see
        auto same = std::find_if(gathered.begin(), gathered.end(), [&](const Gathered& other) {
            return other.kind == item.kind && SameName(other.name, item.name);
        });
        if (same == gathered.end()) {
            gathered.push_back({item.kind, item.name, {nullptr, nullptr}});
            same = std::prev(gathered.end());
        }
        if (same->byView[Slot(item.view)] == nullptr) same->byView[Slot(item.view)] = &item;
    }
    std::vector<InventoryRow> rows;
    for (const Gathered& entry : gathered) {
        InventoryRow row;
        row.item = entry.name;
        std::wstring columns[2];
        std::wstring described;
        std::wstring reasons;
        for (RegistryView view : {RegistryView::Bits32, RegistryView::Bits64}) {
            const InventoryItem* item = entry.byView[Slot(view)];
            if (item == nullptr) {
                columns[Slot(view)] = view == RegistryView::Bits64 && !inventory.windows64
                                          ? LoadMessage(msg::StateNoWindows64)
                                          : AbsentInWords(entry.kind);
                continue;
            }
            columns[Slot(view)] = StateInWords(item->state);
            row.fault = row.fault || item->fault;
            if (described.empty()) described = item->note;
            if (!Plain(item->state) && !item->reason.empty()) {
                reasons = Sentence(reasons, ViewCaption(view) + L": " + item->reason);
                if (!item->file.empty()) reasons += L" (" + item->file + L")";
            }
        }
        row.bits32 = columns[0];
        row.bits64 = columns[1];
        row.note = LoadMessage(KindMessage(entry.kind)) + (described.empty() ? L"" : L": " + described);
        row.note = Sentence(row.note + L".", reasons);
        if (program != nullptr) {
            std::wstring marks;
            for (const std::vector<ProgramCan>& uses : program->uses) {
                for (const ProgramCan& can : uses) {
                    if (!SameName(can.name, entry.name)) continue;
                    // A script that either PowerShell runs: an answer for each.
                    std::wstring mark = program->uses.size() > 1 ? ViewCaption(can.view) + L": " : L"";
                    mark += LoadMessage(can.yes ? msg::ProgramCanUseIt : msg::ProgramCannotUseIt);
                    marks = Sentence(marks, mark);
                }
            }
            row.note = Sentence(marks, row.note);
        }
        rows.push_back(std::move(row));
    }
    std::stable_partition(rows.begin(), rows.end(), [](const InventoryRow& row) { return row.fault; });
    return rows;
}

std::wstring InventoryReportText(const std::vector<InventoryRow>& rows, const std::wstring& answer) {
    std::wstring text = LoadMessage(msg::InventoryTitle) + L"\r\n\r\n";
    if (!answer.empty()) text += answer + L"\r\n\r\n";
    text += LoadMessage(msg::ItemCaption) + L"\t" + LoadMessage(msg::Programs32Caption) + L"\t" +
            LoadMessage(msg::Programs64Caption) + L"\t" + LoadMessage(msg::NoteCaption) + L"\r\n";
    for (const InventoryRow& row : rows)
        text += row.item + L"\t" + row.bits32 + L"\t" + row.bits64 + L"\t" + row.note + L"\r\n";
    return text;
}
