#include "app/Unattended.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/VersionVerdict.h"
#include "repair/ClassCheck.h"
#include "repair/ComponentCatalogue.h"
#include "repair/DataAccessInventory.h"
#include "repair/ProgramCheck.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairRun.h"
#include "repair/RepairSupervisor.h"
#include "winsupport/DecimalText.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/RaisedError.h"
#include "winsupport/ReportWriter.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

// A field never breaks its line or splits into two.
std::wstring Field(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
    }
    return text;
}

std::wstring Line(const std::vector<std::wstring>& fields) {
    std::wstring line;
    for (const std::wstring& field : fields) line += (line.empty() ? L"" : L"\t") + Field(field);
    return line;
}

std::wstring Header(CommandMode mode) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const auto two = [](WORD value) { return (value < 10 ? L"0" : L"") + DecimalText(value); };
    const std::wstring time = DecimalText(now.wYear) + L"-" + two(now.wMonth) + L"-" + two(now.wDay) + L" " +
                              two(now.wHour) + L":" + two(now.wMinute) + L":" + two(now.wSecond);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(computer, &size)) size = 0;
    return Line(
        {L"#MdacRepair", mode == CommandMode::Check ? L"check" : L"repair", time, std::wstring(computer, size)});
}

ComponentFileTable Catalogue() {
    return BuildCatalogue(CommonFilesFolder(), GetSystemDirectoryText());
}

// name, version, path, keyword, code, reason: one line per file.
std::wstring FileLine(const ComponentFile& entry, const wchar_t* keyword, const std::wstring& code = {},
                      const std::wstring& reason = {}) {
    return Line({entry.FileName, entry.FileVersion, entry.CataloguePath, keyword, code, reason});
}

std::wstring MissingLine(const ComponentFile& entry) {
    const RegistrationOutcome missing{RegistrationOutcome::Kind::LoadFailed, MissingFileError(entry)};
    return FileLine(entry, L"missing", FailureCode(missing), FailureText(missing, entry.FileName));
}

bool Found(const ComponentFile& entry) {
    return entry.FileVersion != kNoFileVersion;
}

// keyword, ProgID, path found, state, code, reason: one line per class of
// the table. The other named providers are created in the same pass, for the
// inventory.
std::vector<ClassReport> WriteClassLines(ReportWriter& out, const wchar_t* keyword, const ComponentFileTable& catalogue,
                                         RegistrationWorker& checker) {
    std::vector<ClassReport> reports = CheckClasses(CreatedClasses(), catalogue, checker);
    const size_t tableSize = DataAccessClasses().size();
    for (size_t index = 0; index < reports.size() && index < tableSize; ++index) {
        const ClassReport& report = reports[index];
        out.WriteLine(Line({keyword, report.dataClass.progId, report.outcome.path, ClassKeyword(report.outcome.state),
                            ClassCode(report), ClassReason(report)}));
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

// kind, view, name, file, state, code, reason: one line per item and view.
void WriteInventoryLines(ReportWriter& out, const Inventory& inventory) {
    for (const InventoryItem& item : inventory.items) {
        out.WriteLine(Line(
            {ItemKeyword(item.kind), ViewBits(item.view), item.name, item.file, item.state, item.code, item.reason}));
    }
}

// The program that fails: a line for each program that runs it, and one for
// each thing it may use.
void WriteProgramLines(ReportWriter& out, const ProgramIdentity& identity, const Inventory& inventory) {
    for (const ProgramHost& host : identity.hosts) {
        out.WriteLine(
            Line({L"program", ViewBits(host.bits), identity.path, host.program,
                  host.bits == RegistryView::Bits64 ? L"64-bit" : L"32-bit", std::wstring(), identity.reason}));
        for (const ProgramCan& can : WhatItCanUse(host, identity, inventory)) {
            out.WriteLine(Line({L"program-can", ViewBits(can.view), can.name, can.file, can.yes ? L"yes" : L"no",
                                can.code, can.wayOut}));
        }
    }
}

int Check(ReportWriter& out, const std::wstring& programPath) {
    // A file that is no program is told so before anything is checked.
    ProgramIdentity identity;
    if (!programPath.empty()) {
        identity = IdentifyProgram(programPath);
        if (identity.hosts.empty()) {
            out.WriteLine(Line({L"error", identity.reason}));
            return kExitBadCommandLine;
        }
    }
    RegistrationWorker checker;
    checker.StartEarly();
    InventoryReading reading;
    const std::wstring installed = InstalledMdacVersion();
    const std::wstring jetPath = JetEnginePath(GetSystemDirectoryText());
    VS_FIXEDFILEINFO jetInfo{};
    const bool jetFound = ReadFixedFileInfo(jetPath, jetInfo);
    const std::wstring jetVersion = GetFileVersionText(jetPath, false);
    const VersionVerdict verdict =
        JudgeVersions(installed.substr(0, 4), jetVersion, GetFileVersionText(jetPath, true), GetWindowsVersionKind());
    const auto keyword = [](bool found, bool upToDate) {
        return !found ? L"not-found" : upToDate ? L"latest" : L"update";
    };
    out.WriteLine(Line({L"MDAC", installed, keyword(!installed.empty(), verdict.mdac.upToDate)}));
    out.WriteLine(Line({L"Jet", jetFound ? jetVersion : std::wstring(), keyword(jetFound, verdict.jet.upToDate)}));
    const ComponentFileTable catalogue = Catalogue();
    const WindowsRelease windows = RunningWindowsRelease();
    for (const ComponentFile& entry : catalogue) {
        if (entry.HideFromList) continue;
        const bool matches = MatchesMdacVersion(entry, installed.substr(0, 4), windows);
        out.WriteLine(!Found(entry) ? MissingLine(entry) : FileLine(entry, matches ? L"matches" : L"differs"));
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

int Repair(ReportWriter& out) {
    // Nobody is there to answer a consent prompt.
    if (CurrentRights() != Rights::Administrator) {
        out.WriteLine(Line({L"error", LoadMessage(msg::RepairNeedsAdministrator)}));
        return kExitElevationRequired;
    }
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
            out.WriteLine(FileLine(entry, L"not-registered"));
        } else if (!outcome.attempted) {
            out.WriteLine(MissingLine(entry));
        } else if (outcome.registration.Failed()) {
            failed = true;
            out.WriteLine(FileLine(entry, outcome.refusedAsProtected ? L"protected" : L"failed",
                                   FailureCode(outcome.registration),
                                   FailureText(outcome.registration, FileNameOf(entry.FilePath))));
        } else {
            out.WriteLine(FileLine(entry, L"registered"));
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
    ReportWriter out;
    if (!request.logPath.empty()) {
        if (!out.OpenFile(request.logPath)) {
            return request.error.empty() ? kExitLogNotWritable : kExitBadCommandLine;
        }
    } else {
        out.OpenConsole();
    }
    out.WriteLine(Header(request.mode));
    if (!request.error.empty()) {
        out.WriteLine(Line({L"error", request.error}));
        return kExitBadCommandLine;
    }
    try {
        return request.mode == CommandMode::Check ? Check(out, request.programPath) : Repair(out);
    } catch (const RaisedError& error) {
        out.WriteLine(Line({L"error", error.Description()}));
    } catch (const std::exception& error) {
        out.WriteLine(Line({L"error", FromAnsi(error.what())}));
    }
    return kExitCouldNotRun;
}
