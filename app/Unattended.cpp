#include "app/Unattended.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/UnattendedResults.h"
#include "app/VersionVerdict.h"
#include "repair/ClassCheck.h"
#include "repair/ComponentCatalogue.h"
#include "repair/DataAccessInventory.h"
#include "repair/ProgramCheck.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairRun.h"
#include "repair/RepairSupervisor.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/RaisedError.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

ComponentFileTable Catalogue() {
    return BuildCatalogue(CommonFilesFolder(), GetSystemDirectoryText());
}

// name, version, path, result, code, reason: one line per file.
Record FileRecord(const ComponentFile& entry, const wchar_t* result, const std::wstring& code = {},
                  const std::wstring& reason = {}) {
    return {L"file",
            nullptr,
            {{L"name", entry.FileName},
             {L"version", entry.FileVersion},
             {L"path", entry.CataloguePath},
             {L"result", result},
             {L"code", code},
             {L"reason", reason}}};
}

void WriteFile(Results& out, const ComponentFile& entry, const wchar_t* result, const std::wstring& code = {},
               const std::wstring& reason = {}) {
    out.Write(FileRecord(entry, result, code, reason));
    ++out.tally().files[result];
}

void WriteMissing(Results& out, const ComponentFile& entry) {
    const RegistrationOutcome missing{RegistrationOutcome::Kind::LoadFailed, MissingFileError(entry)};
    WriteFile(out, entry, L"missing", FailureCode(missing), FailureText(missing, entry.FileName));
}

bool Found(const ComponentFile& entry) {
    return entry.FileVersion != kNoFileVersion;
}

// The installed MDAC and Jet, as the version page judges them; lines only for /check.
VersionVerdict ReadVersions(Results& out, bool write, std::wstring& installed) {
    installed = InstalledMdacVersion();
    const std::wstring jetPath = JetEnginePath(GetSystemDirectoryText());
    VS_FIXEDFILEINFO jetInfo{};
    const bool jetFound = ReadFixedFileInfo(jetPath, jetInfo);
    const std::wstring jetText = GetFileVersionText(jetPath, false);
    const std::wstring jetVersion = jetFound ? jetText : std::wstring();
    VersionVerdict verdict =
        JudgeVersions(installed.substr(0, 4), jetText, GetFileVersionText(jetPath, true), GetWindowsVersionKind());
    const auto keyword = [](bool found, bool upToDate) {
        return !found ? L"not-found" : upToDate ? L"latest" : L"update";
    };
    Tally& tally = out.tally();
    tally.mdacVersion = installed;
    tally.mdacVerdict = keyword(!installed.empty(), verdict.mdac.upToDate);
    tally.jetVersion = jetVersion;
    tally.jetVerdict = keyword(jetFound, verdict.jet.upToDate);
    if (!verdict.mdac.upToDate) tally.Fault(L"MDAC", tally.mdacVerdict);
    if (!verdict.jet.upToDate) tally.Fault(L"Jet", tally.jetVerdict);
    if (write) {
        out.Write(
            {L"version", nullptr, {{L"item", L"MDAC"}, {L"version", installed}, {L"verdict", tally.mdacVerdict}}});
        out.Write({L"version", nullptr, {{L"item", L"Jet"}, {L"version", jetVersion}, {L"verdict", tally.jetVerdict}}});
    }
    return verdict;
}

// keyword, ProgID, path found, result, code, reason: one line per class of
// the table. The other named providers are created in the same pass, for the
// inventory.
std::vector<ClassReport> WriteClassLines(Results& out, const wchar_t* keyword, const ComponentFileTable& catalogue,
                                         RegistrationWorker& checker) {
    std::vector<ClassReport> reports = CheckClasses(CreatedClasses(), catalogue, checker);
    const size_t tableSize = DataAccessClasses().size();
    const bool before = std::wstring(keyword) == L"class-before";
    for (size_t index = 0; index < reports.size() && index < tableSize; ++index) {
        const ClassReport& report = reports[index];
        const wchar_t* state = ClassKeyword(report.outcome.state);
        out.Write({keyword,
                   keyword,
                   {{L"progId", report.dataClass.progId},
                    {L"path", report.outcome.path},
                    {L"result", state},
                    {L"code", ClassCode(report)},
                    {L"reason", ClassReason(report)}}});
        Tally& tally = out.tally();
        ++(before ? tally.classesBefore : tally.classes)[state];
        if (!before && IsBroken(report)) {
            tally.Fault(L"class " + report.dataClass.progId, state);
            ++tally.repairable;
        }
    }
    return reports;
}

bool TableBroken(const std::vector<ClassReport>& reports) {
    const size_t tableSize = DataAccessClasses().size();
    for (size_t index = 0; index < reports.size() && index < tableSize; ++index) {
        if (IsBroken(reports[index])) return true;
    }
    return false;
}

// kind, view, name, file, state, code, reason (and a data source's account):
// one line per item and view.
void WriteInventoryLines(Results& out, const Inventory& inventory) {
    for (const InventoryItem& item : inventory.items) {
        Record record{ItemKeyword(item.kind),
                      ItemKeyword(item.kind),
                      {{L"view", ViewBits(item.view), true},
                       {L"name", item.name},
                       {L"file", item.file},
                       {L"state", item.state},
                       {L"code", item.code},
                       {L"reason", item.reason}}};
        if (item.kind == ItemKind::Dsn) record.facts.push_back({L"account", item.account});
        out.Write(record);
        Tally& tally = out.tally();
        ++(item.view == RegistryView::Bits64 ? tally.inventory64 : tally.inventory32)[item.state];
        if (item.fault) {
            const std::wstring whose = item.otherAccount ? L" (" + item.account + L")" : std::wstring();
            tally.Fault(std::wstring(ItemKeyword(item.kind)) + L"/" + ViewBits(item.view) + L" " + item.name + whose,
                        item.state);
        }
    }
}

// The program that fails: a line for each program that runs it, and one for
// each thing it may use.
void WriteProgramLines(Results& out, const ProgramIdentity& identity, const Inventory& inventory) {
    for (const ProgramHost& host : identity.hosts) {
        out.Write({L"program",
                   L"program",
                   {{L"view", ViewBits(host.bits), true},
                    {L"path", identity.path},
                    {L"program", host.program},
                    {L"state", host.bits == RegistryView::Bits64 ? L"64-bit" : L"32-bit"},
                    {L"code", std::wstring()},
                    {L"reason", identity.reason}}});
        for (const ProgramCan& can : WhatItCanUse(host, identity, inventory)) {
            out.Write({L"program-can",
                       L"program-can",
                       {{L"view", ViewBits(can.view), true},
                        {L"name", can.name},
                        {L"file", can.file},
                        {L"state", can.yes ? L"yes" : L"no"},
                        {L"code", can.code},
                        {L"wayOut", can.wayOut}}});
        }
    }
}

// failure: why the check could not be done, for the error output.
int Check(Results& out, const std::wstring& programPath, std::wstring& failure) {
    // A file that is no program is told so before anything is checked.
    ProgramIdentity identity;
    if (!programPath.empty()) {
        identity = IdentifyProgram(programPath);
        if (identity.hosts.empty()) {
            out.Write(ErrorRecord(identity.reason));
            failure = identity.reason;
            return kExitBadCommandLine;
        }
    }
    RegistrationWorker checker;
    checker.StartEarly();
    InventoryReading reading;
    std::wstring installed;
    const VersionVerdict verdict = ReadVersions(out, true, installed);
    const ComponentFileTable catalogue = Catalogue();
    const WindowsRelease windows = RunningWindowsRelease();
    for (const ComponentFile& entry : catalogue) {
        if (entry.HideFromList) continue;
        if (!Found(entry)) {
            WriteMissing(out, entry);
        } else {
            WriteFile(out, entry, MatchesMdacVersion(entry, installed.substr(0, 4), windows) ? L"matches" : L"differs");
        }
    }
    const std::vector<ClassReport> created = WriteClassLines(out, L"class", catalogue, checker);
    const Inventory inventory = reading.Finish(created);
    WriteInventoryLines(out, inventory);
    if (!programPath.empty()) WriteProgramLines(out, identity, inventory);
    if (!verdict.mdac.upToDate || !verdict.jet.upToDate || TableBroken(created)) return 1;
    return AnyFault(inventory) ? kExitNeedsPerson : 0;
}

// The window's waits pace its progress bar; here nothing is shown.
class Unwatched final : public RepairProgress {
public:
    void ShowEntry(const ComponentFile&) override {}
    void Step(std::size_t) override {}
    bool KeepAlive() override { return true; }
};

int Repair(Results& out, std::wstring& failure) {
    // Nobody is there to answer a consent prompt.
    if (CurrentRights() != Rights::Administrator) {
        failure = LoadMessage(msg::RepairNeedsAdministrator);
        out.Write(ErrorRecord(failure));
        return kExitElevationRequired;
    }
    // For the summary only: what a repair cannot change.
    std::wstring installed;
    if (out.Json()) ReadVersions(out, false, installed);
    const ComponentFileTable catalogue = Catalogue();
    // The registering process starts while the classes are checked, and the
    // checking process of the second pass while the files are registered.
    // The first pass's process, which loaded the classes, ends before that.
    WorkerRegistrar registrar;
    registrar.StartEarly();
    {
        RegistrationWorker checkerBefore;
        checkerBefore.StartEarly();
        WriteClassLines(out, L"class-before", catalogue, checkerBefore);
    }
    RegistrationWorker checkerAfter;
    checkerAfter.StartEarly();
    Unwatched progress;
    const std::vector<EntryOutcome> outcomes = RunRepair(catalogue, registrar, progress);
    bool failed = false;
    for (size_t index = 0; index < catalogue.size() && index < outcomes.size(); ++index) {
        const ComponentFile& entry = catalogue[index];
        const EntryOutcome& outcome = outcomes[index];
        if (entry.SkipRegistration) {
            WriteFile(out, entry, L"not-registered");
        } else if (!outcome.attempted) {
            WriteMissing(out, entry);
        } else if (outcome.registration.Failed()) {
            failed = true;
            const wchar_t* result = outcome.refusedAsProtected ? L"protected" : L"failed";
            WriteFile(out, entry, result, FailureCode(outcome.registration),
                      FailureText(outcome.registration, FileNameOf(entry.FilePath)));
            out.tally().Fault(L"file " + entry.FileName, result);
        } else {
            WriteFile(out, entry, L"registered");
        }
    }
    InventoryReading reading;
    const std::vector<ClassReport> after = WriteClassLines(out, L"class-after", catalogue, checkerAfter);
    // Reported for a person to read; nothing here is the repair's to mend.
    WriteInventoryLines(out, reading.Finish(after));
    return failed || TableBroken(after) ? 1 : 0;
}

}  // namespace

int RunUnattended(const CommandRequest& request) {
    // No box may wait for a user who is not there.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    Results out(request);
    if (!out.Open()) {
        const int code = request.error.empty() ? kExitLogNotWritable : kExitBadCommandLine;
        return out.Finish(code, request.error.empty()
                                    ? FormatPlaceholders(LoadMessage(msg::LogNotWritable), {request.logPath})
                                    : request.error);
    }
    out.Write(Header(request.mode));
    if (!request.error.empty()) {
        out.Write(ErrorRecord(request.error));
        return out.Finish(kExitBadCommandLine, request.error);
    }
    std::wstring reason;
    try {
        const int code =
            request.mode == CommandMode::Check ? Check(out, request.programPath, reason) : Repair(out, reason);
        return out.Finish(code, reason);
    } catch (const RaisedError& error) {
        reason = error.Description();
    } catch (const std::exception& error) {
        reason = FromAnsi(error.what());
    }
    out.Write(ErrorRecord(reason));
    return out.Finish(kExitCouldNotRun, reason);
}
