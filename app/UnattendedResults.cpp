#include "app/UnattendedResults.h"

#include <windows.h>

#include <algorithm>

#include "app/Unattended.h"
#include "winsupport/Accounts.h"
#include "winsupport/DecimalText.h"
#include "winsupport/JsonText.h"
#include "winsupport/RegistryViews.h"
#include "winsupport/modAPI.h"

namespace {

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

// 2026-12-11, then between, then 08:15:02.
std::wstring DateTimeText(const SYSTEMTIME& time, const wchar_t* between) {
    return DecimalText(time.wYear) + L"-" + Two(time.wMonth) + L"-" + Two(time.wDay) + between + Two(time.wHour) +
           L":" + Two(time.wMinute) + L":" + Two(time.wSecond);
}

std::wstring UtcNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return DateTimeText(now, L"T") + L"Z";
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
    // Read once, so that the line measured is the line written.
    const std::wstring utc = UtcNow();
    const std::wstring seconds = SecondsSinceStart();
    const std::wstring account = Clipped(CurrentAccountName(), 64);
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
            .Text(L"utc", utc)
            .Raw(L"seconds", seconds);
        const WindowsRelease windows = RunningWindowsRelease();
        summary
            .Raw(L"windows", JsonObject()
                                 .Text(L"version", DecimalText(windows.major) + L"." + DecimalText(windows.minor) +
                                                       L"." + DecimalText(windows.build))
                                 .Number(L"bits", IsWindows64() ? 64 : 32)
                                 .Done())
            .Number(L"programBits", static_cast<long long>(sizeof(void*) * 8))
            .Text(L"account", account)
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

}  // namespace

Record ErrorRecord(const std::wstring& reason) {
    return {L"error", L"error", {{L"reason", reason}}};
}

Record Header(CommandMode mode) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {L"header",
            L"#MdacRepair",
            {{L"mode", ModeWord(mode)}, {L"time", DateTimeText(now, L" ")}, {L"computer", ComputerName()}}};
}

long long& Counts::operator[](const std::wstring& word) {
    for (auto& [known, count] : counts_) {
        if (known == word) return count;
    }
    return counts_.emplace_back(word, 0).second;
}

std::wstring Counts::Json() const {
    JsonObject object;
    for (const auto& [word, count] : counts_) object.Number(word.c_str(), count);
    return object.Done();
}

void Tally::Fault(const std::wstring& what, const std::wstring& state) {
    // One long name must not crowd out the others.
    faults.push_back(Clipped(what, 100) + L": " + state);
}

bool Results::Open() {
    if (request_.logPath.empty()) {
        out_.OpenConsole();
        writable_ = true;
        return true;
    }
    writable_ = out_.OpenFile(request_.logPath);
    return writable_;
}

void Results::Write(const Record& record) {
    out_.WriteLine(request_.json ? JsonLine(record) : TabLine(record));
}

int Results::Finish(int exitCode, const std::wstring& failure) {
    if (!request_.json) return exitCode;
    const std::wstring summary = SummaryLine(request_.mode, exitCode, tally_);
    if (writable_) out_.WriteLine(summary);
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
