#include "app/Unattended.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "app/VersionVerdict.h"
#include "repair/ClassCheck.h"
#include "repair/ComponentCatalogue.h"
#include "repair/DataAccessInventory.h"
#include "repair/ProgramCheck.h"
#include "repair/RegistrationWorker.h"
#include "repair/RepairRun.h"
#include "repair/RepairSupervisor.h"
#include "winsupport/Accounts.h"
#include "winsupport/DecimalText.h"
#include "winsupport/JsonText.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/RaisedError.h"
#include "winsupport/ReportWriter.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

// One fact of a line, under the name the JSON form gives it.
struct Fact {
    const wchar_t* name;
    std::wstring text;
    bool number = false;
};

// One line of the results, in either form: tab-separated, the lead (when
// there is one) and the facts' texts; or a JSON object, the kind and the facts.
struct Record {
    const wchar_t* kind;
    const wchar_t* lead;
    std::vector<Fact> facts;
};

// A field never breaks its line or splits into two.
std::wstring Field(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
    }
    return text;
}

std::wstring TabLine(const Record& record) {
    std::wstring line = record.lead == nullptr ? L"" : record.lead;
    bool first = record.lead == nullptr;
    for (const Fact& fact : record.facts) {
        line += (first ? L"" : L"\t") + Field(fact.text);
        first = false;
    }
    return line;
}

std::wstring JsonLine(const Record& record) {
    JsonObject object;
    object.Text(L"kind", record.kind);
    for (const Fact& fact : record.facts) {
        if (fact.number && !fact.text.empty()) {
            object.Raw(fact.name, fact.text);
        } else {
            object.Text(fact.name, fact.text);
        }
    }
    return object.Done();
}

Record ErrorRecord(const std::wstring& reason) {
    return {L"error", L"error", {{L"reason", reason}}};
}

std::wstring Two(WORD value) {
    return (value < 10 ? L"0" : L"") + DecimalText(value);
}

std::wstring ComputerName() {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(computer, &size)) size = 0;
    return std::wstring(computer, size);
}

const wchar_t* ModeWord(CommandMode mode) {
    return mode == CommandMode::Check ? L"check" : L"repair";
}

Record Header(CommandMode mode) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::wstring time = DecimalText(now.wYear) + L"-" + Two(now.wMonth) + L"-" + Two(now.wDay) + L" " +
                              Two(now.wHour) + L":" + Two(now.wMinute) + L":" + Two(now.wSecond);
    return {L"header", L"#MdacRepair", {{L"mode", ModeWord(mode)}, {L"time", time}, {L"computer", ComputerName()}}};
}

// How many lines gave each word, in the order the words first came.
class Counts {
public:
    long long& operator[](const std::wstring& word) {
        for (auto& [known, count] : counts_) {
            if (known == word) return count;
        }
        return counts_.emplace_back(word, 0).second;
    }
    std::wstring Json() const {
        JsonObject object;
        for (const auto& [word, count] : counts_) object.Number(word.c_str(), count);
        return object.Done();
    }

private:
    std::vector<std::pair<std::wstring, long long>> counts_;
};

// What the summary says, gathered while the lines are written.
struct Tally {
    std::wstring mdacVersion, mdacVerdict, jetVersion, jetVerdict;
    Counts files, classes, classesBefore;
    Counts inventory32, inventory64;
    long long repairable = 0;  // broken classes of present files: what /repair registers again
    std::vector<std::wstring> faults;

    void Fault(const std::wstring& what, const std::wstring& state) {
        // One long name must not crowd out the others.
        faults.push_back((what.size() > 100 ? what.substr(0, 100) : what) + L": " + state);
    }
};

std::wstring Clipped(const std::wstring& text, size_t most) {
    return text.size() > most ? text.substr(0, most) : text;
}

// The run's duration so far, from the process's start, in hundredths.
std::wstring SecondsSinceStart() {
    FILETIME created{}, exited{}, kernel{}, user{};
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return L"0";
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const unsigned long long hundredths = ticks(now) > ticks(created) ? (ticks(now) - ticks(created)) / 100000 : 0;
    return DecimalText(hundredths / 100) + L"." + Two(static_cast<WORD>(hundredths % 100));
}

std::wstring UtcNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return DecimalText(now.wYear) + L"-" + Two(now.wMonth) + L"-" + Two(now.wDay) + L"T" + Two(now.wHour) + L":" +
           Two(now.wMinute) + L":" + Two(now.wSecond) + L"Z";
}

std::wstring OwnVersion() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    VS_FIXEDFILEINFO info{};
    if (length == 0 || length >= MAX_PATH || !ReadFixedFileInfo(path.substr(0, length), info)) return {};
    return DecimalText(HIWORD(info.dwFileVersionMS)) + L"." + DecimalText(LOWORD(info.dwFileVersionMS)) + L"." +
           DecimalText(HIWORD(info.dwFileVersionLS)) + L"." + DecimalText(LOWORD(info.dwFileVersionLS));
}

// A fixed word for each outcome, for a rule to compare.
const wchar_t* Meaning(CommandMode mode, int exitCode, const Tally& tally) {
    switch (exitCode) {
        case 0:
            return mode == CommandMode::Check ? L"healthy" : L"repaired";
        case 1:
            if (mode == CommandMode::Repair) return L"repair-incomplete";
            return tally.repairable > 0 ? L"repair-recommended" : L"update-recommended";
        case kExitNeedsPerson:
            return L"needs-person";
        case kExitLogNotWritable:
            return L"log-not-writable";
        case kExitBadCommandLine:
            return L"bad-command-line";
        case kExitElevationRequired:
            return L"needs-administrator";
        default:
            return L"could-not-run";
    }
}

constexpr size_t kSummaryMost = 2048;  // what Intune keeps of a script's output

std::wstring SummaryLine(CommandMode mode, int exitCode, const Tally& tally) {
    const auto build = [&](size_t listed, size_t leftOut) {
        JsonObject counts;
        counts.Raw(L"files", tally.files.Json()).Raw(L"classes", tally.classes.Json());
        if (mode == CommandMode::Repair) counts.Raw(L"classesBefore", tally.classesBefore.Json());
        JsonObject inventory;
        inventory.Raw(L"32", tally.inventory32.Json());
        if (IsWindows64()) inventory.Raw(L"64", tally.inventory64.Json());
        counts.Raw(L"inventory", inventory.Done());
        std::wstring faults = L"[";
        for (size_t index = 0; index < listed; ++index)
            faults += (index == 0 ? L"" : L",") + JsonString(tally.faults[index]);
        JsonObject summary;
        summary.Text(L"kind", L"summary")
            .Text(L"version", OwnVersion())
            .Text(L"mode", ModeWord(mode))
            .Number(L"exit", exitCode)
            .Text(L"meaning", Meaning(mode, exitCode, tally))
            .Text(L"computer", ComputerName())
            .Text(L"utc", UtcNow())
            .Raw(L"seconds", SecondsSinceStart());
        const WindowsRelease windows = RunningWindowsRelease();
        summary
            .Raw(L"windows", JsonObject()
                                 .Text(L"version", DecimalText(windows.major) + L"." + DecimalText(windows.minor) +
                                                       L"." + DecimalText(windows.build))
                                 .Number(L"bits", IsWindows64() ? 64 : 32)
                                 .Done())
            .Number(L"programBits", static_cast<long long>(sizeof(void*) * 8))
            .Text(L"account", Clipped(CurrentAccountName(), 64))
            .Raw(L"mdac", JsonObject()
                              .Text(L"version", Clipped(tally.mdacVersion, 32))
                              .Text(L"verdict", tally.mdacVerdict)
                              .Done())
            .Raw(L"jet",
                 JsonObject().Text(L"version", Clipped(tally.jetVersion, 32)).Text(L"verdict", tally.jetVerdict).Done())
            .Raw(L"counts", counts.Done())
            .Number(L"repairable", tally.repairable)
            .Raw(L"faults", faults + L"]")
            .Number(L"faultsLeftOut", static_cast<long long>(leftOut));
        return summary.Done();
    };
    const size_t total = tally.faults.size();
    // As many faults as fit, in the order found: the versions and the classes first.
    const size_t room = kSummaryMost - std::min(kSummaryMost, build(0, total).size());
    size_t listed = 0;
    for (size_t used = 0; listed < total; ++listed) {
        used += JsonString(tally.faults[listed]).size() + (listed == 0 ? 0 : 1);
        if (used > room) break;
    }
    return build(listed, total - listed);
}

// Where the results go: the log or the output, in either form, with the
// summary last when JSON is asked for.
class Results {
public:
    explicit Results(const CommandRequest& request) : request_(request) {}

    // False when the log cannot be written.
    bool Open() {
        if (request_.logPath.empty()) {
            out_.OpenConsole();
            return true;
        }
        if (!out_.OpenFile(request_.logPath)) return false;
        opened_ = true;
        return true;
    }

    void Write(const Record& record) { out_.WriteLine(request_.json ? JsonLine(record) : TabLine(record)); }

    Tally& tally() { return tally_; }
    bool Json() const { return request_.json; }

    // failure: why the run could not be done, for the error output.
    int Finish(int exitCode, const std::wstring& failure = {}) {
        if (!request_.json) return exitCode;
        const std::wstring summary = SummaryLine(request_.mode, exitCode, tally_);
        if (opened_ || request_.logPath.empty()) out_.WriteLine(summary);
        // A script that logs to a file still prints exactly one line.
        if (!request_.logPath.empty()) {
            ReportWriter console;
            console.OpenConsole();
            console.WriteLine(summary);
        }
        if (!failure.empty()) {
            ReportWriter errors;
            errors.OpenConsole(STD_ERROR_HANDLE);
            errors.WriteLine(failure);
        }
        return exitCode;
    }

private:
    const CommandRequest& request_;
    ReportWriter out_;
    bool opened_ = false;
    Tally tally_;
};

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

// The reason of a run that could not be done, for the error output.
struct NotDone {
    int exitCode;
    std::wstring reason;
};

int Check(Results& out, const std::wstring& programPath, NotDone& notDone) {
    // A file that is no program is told so before anything is checked.
    ProgramIdentity identity;
    if (!programPath.empty()) {
        identity = IdentifyProgram(programPath);
        if (identity.hosts.empty()) {
            out.Write(ErrorRecord(identity.reason));
            notDone = {kExitBadCommandLine, identity.reason};
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

int Repair(Results& out, NotDone& notDone) {
    // Nobody is there to answer a consent prompt.
    if (CurrentRights() != Rights::Administrator) {
        const std::wstring reason = LoadMessage(msg::RepairNeedsAdministrator);
        out.Write(ErrorRecord(reason));
        notDone = {kExitElevationRequired, reason};
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
    NotDone notDone{0, {}};
    std::wstring reason;
    try {
        const int code =
            request.mode == CommandMode::Check ? Check(out, request.programPath, notDone) : Repair(out, notDone);
        return out.Finish(code, notDone.exitCode == code ? notDone.reason : std::wstring());
    } catch (const RaisedError& error) {
        reason = error.Description();
    } catch (const std::exception& error) {
        reason = FromAnsi(error.what());
    }
    out.Write(ErrorRecord(reason));
    return out.Finish(kExitCouldNotRun, reason);
}
