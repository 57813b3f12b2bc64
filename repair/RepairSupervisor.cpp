#include "repair/RepairSupervisor.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "winsupport/DecimalText.h"
#include "winsupport/LateImports.h"
#include "winsupport/Waits.h"
#include "winsupport/modAPI.h"

namespace {

constexpr wchar_t kSupervisorSwitch[] = L"/RepairSupervisor";
// The supervisor's start may wait behind a virus scanner like a registration.
constexpr DWORD kStartLimit = 60000;
// Beyond a registration's own limit: the supervisor ends a hung worker and
// answers, which takes it a moment.
constexpr DWORD kAnswerSlack = 15000;
constexpr DWORD kEndWait = 10000;

constexpr std::uint32_t kNoAnswer = 0xFFFFFFFF;
constexpr std::uint32_t kReadySequence = 0;

ElevationSeam g_seam;

bool IsAdministratorsMember() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID raw = nullptr;
    if (!::AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                    0, &raw))
        return false;
    const UniqueHandle<NullHandleTraits<PSID, &::FreeSid>> administrators(raw);
    BOOL member = FALSE;
    return ::CheckTokenMembership(nullptr, administrators.get(), &member) && member;
}

bool IsElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    const UniqueKernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace

Rights CurrentRights() {
    if (RunningWindowsRelease().major < 6) return IsAdministratorsMember() ? Rights::Administrator : Rights::User;
    if (g_seam.notElevated) return Rights::CanAsk;
    // A standard user's token is of the default type, as an unelevated
    // administrator's is limited: only elevation itself tells.
    return IsElevated() ? Rights::Administrator : Rights::CanAsk;
}

void SetElevationSeam(const ElevationSeam& seam) {
    g_seam = seam;
}

RepairSupervisor::~RepairSupervisor() {
    auto* channel = static_cast<SupervisorChannel*>(view_.get());
    if (channel == nullptr || !process_) return;
    channel->request = {kSupervisorStop, ++sequence_, 0, 0};
    ::SetEvent(request_.get());
    ::WaitForSingleObject(process_.get(), kEndWait);
}

unsigned long RepairSupervisor::Start(HWND owner, bool elevate) {
    // Unnamed and not inherited: the supervisor takes them from this process.
    mapping_.reset(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SupervisorChannel), nullptr));
    if (!mapping_) return ::GetLastError();
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(SupervisorChannel)));
    if (!view_) return ::GetLastError();
    request_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    done_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!request_ || !done_) return ::GetLastError();
    auto* channel = static_cast<SupervisorChannel*>(view_.get());
    channel->answered = static_cast<LONG>(kNoAnswer);

    std::vector<wchar_t> program(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) return ::GetLastError();
    std::wstring parameters = std::wstring(kSupervisorSwitch) + L" " + DecimalText(::GetCurrentProcessId());
    for (HANDLE handle : {mapping_.get(), request_.get(), done_.get()})
        parameters += L" " + DecimalText(reinterpret_cast<std::uintptr_t>(handle));
    // Started in the system directory, as the workers it starts.
    const std::wstring systemDirectory = GetSystemDirectoryText();
    const wchar_t* verb = elevate ? L"runas" : nullptr;
    if (g_seam.launched != nullptr) g_seam.launched(verb != nullptr ? verb : L"", parameters);
    if (g_seam.launchError != ERROR_SUCCESS) return g_seam.launchError;

    SHELLEXECUTEINFOW launch{};
    launch.cbSize = sizeof(launch);
    launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    launch.hwnd = owner;
    launch.lpVerb = verb;
    launch.lpFile = program.data();
    launch.lpParameters = parameters.c_str();
    launch.lpDirectory = systemDirectory.empty() ? nullptr : systemDirectory.c_str();
    launch.nShow = SW_HIDE;
    if (!late::ShellExecuteExW(&launch)) {
        const DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_CANCELLED;
    }
    if (launch.hProcess == nullptr) return ERROR_INVALID_HANDLE;
    process_.reset(launch.hProcess);

    for (;;) {
        const DWORD result = WaitTakingSentMessages({done_.get(), process_.get()}, kStartLimit);
        if (result == WAIT_OBJECT_0) {
            if (static_cast<std::uint32_t>(channel->answered) == kReadySequence && channel->kind == kSupervisorReady)
                return ERROR_SUCCESS;
            continue;
        }
        if (result == WAIT_TIMEOUT) return ERROR_TIMEOUT;
        DWORD exitCode = ERROR_PROCESS_ABORTED;
        if (result != WAIT_OBJECT_0 + 1 || !::GetExitCodeProcess(process_.get(), &exitCode) || exitCode == 0)
            exitCode = ERROR_PROCESS_ABORTED;
        process_.reset();
        return exitCode;
    }
}

RegistrationOutcome RepairSupervisor::Register(std::size_t index, const ComponentFile&) {
    using Kind = RegistrationOutcome::Kind;
    auto* channel = static_cast<SupervisorChannel*>(view_.get());
    if (channel == nullptr || !process_) return {Kind::NotStarted, ERROR_PROCESS_ABORTED};
    const std::uint32_t sequence = ++sequence_;
    const DWORD timeLimit = RegistrationTimeLimit();
    channel->request = {kSupervisorRegister, sequence, static_cast<std::uint32_t>(index), timeLimit};
    ::SetEvent(request_.get());

    const DWORD limit = timeLimit + kAnswerSlack;
    const DWORD started = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - started;
        const DWORD result =
            WaitTakingSentMessages({done_.get(), process_.get()}, elapsed < limit ? limit - elapsed : 0);
        if (result == WAIT_OBJECT_0) {
            // An answer to an earlier request, one this window gave up on, is not this one's.
            if (static_cast<std::uint32_t>(::InterlockedCompareExchange(&channel->answered, 0, 0)) != sequence)
                continue;
            const LONG kind = channel->kind;
            if (kind == kSupervisorRefused) return {Kind::LoadFailed, channel->code};
            if (kind >= static_cast<LONG>(Kind::Registered) && kind <= static_cast<LONG>(Kind::NotStarted))
                return {static_cast<Kind>(kind), channel->code};
            return {Kind::Crashed, 0};
        }
        if (result == WAIT_TIMEOUT) return {Kind::TimedOut, timeLimit};
        // The supervisor itself ended: nothing more is registered.
        DWORD exitCode = 0;
        if (result != WAIT_OBJECT_0 + 1 || !::GetExitCodeProcess(process_.get(), &exitCode)) exitCode = 0;
        process_.reset();
        return {Kind::Crashed, exitCode};
    }
}

// ---- the supervisor's side ------------------------------------------------------

namespace {

HANDLE TakeHandle(HANDLE parent, const wchar_t* text, DWORD access) {
    std::uintptr_t value = 0;
    HANDLE taken = nullptr;
    if (!ParseDecimal(text, value) || value == 0) return nullptr;
    if (!::DuplicateHandle(parent, reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(), &taken, access, FALSE, 0))
        return nullptr;
    return taken;
}

void Answer(SupervisorChannel& channel, HANDLE done, std::uint32_t sequence, LONG kind, DWORD code) {
    channel.kind = kind;
    channel.code = code;
    ::InterlockedExchange(&channel.answered, static_cast<LONG>(sequence));
    ::SetEvent(done);
}

}  // namespace

bool ServeRepairIfAsked(const wchar_t* commandLine, int& exitCode) {
    const std::vector<std::wstring> arguments = CommandLineArguments(commandLine);
    if (arguments.size() != 5 || arguments[0] != kSupervisorSwitch) return false;
    exitCode = ERROR_INVALID_PARAMETER;
    DWORD parentId = 0;
    if (!ParseDecimal(arguments[1].c_str(), parentId)) return true;
    const UniqueKernelHandle parent(::OpenProcess(PROCESS_DUP_HANDLE | SYNCHRONIZE, FALSE, parentId));
    if (!parent) return true;
    // Only the rights each object is used for.
    const UniqueKernelHandle mapping(TakeHandle(parent.get(), arguments[2].c_str(), FILE_MAP_READ | FILE_MAP_WRITE));
    const UniqueKernelHandle request(TakeHandle(parent.get(), arguments[3].c_str(), SYNCHRONIZE));
    const UniqueKernelHandle done(TakeHandle(parent.get(), arguments[4].c_str(), EVENT_MODIFY_STATE));
    if (!mapping || !request || !done) return true;
    const UniqueHandle<NullHandleTraits<void*, &::UnmapViewOfFile>> view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(SupervisorChannel)));
    if (!view) return true;
    auto& channel = *static_cast<SupervisorChannel*>(view.get());

    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // The same catalogue as the window's, built here from the system's own
    // folders: the window only names an entry.
    const ComponentFileTable catalogue = BuildCatalogue(CommonFilesFolder(), GetSystemDirectoryText());
    std::vector<bool> registrable;
    for (const ComponentFile& entry : catalogue) registrable.push_back(IsRegisteredByRun(entry));
    WorkerRegistrar registrar;
    registrar.StartEarly();
    Answer(channel, done.get(), kReadySequence, kSupervisorReady, 0);

    HANDLE waits[] = {request.get(), parent.get()};
    while (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        // Read once: the window's processes may change it meanwhile.
        SupervisorRequest copy{};
        std::memcpy(&copy, &channel.request, sizeof(copy));
        const SupervisorOrder order = DecodeRequest(copy, registrable);
        if (order.kind == SupervisorOrder::Kind::Stop) break;
        if (order.kind == SupervisorOrder::Kind::Refuse) {
            // An entry whose file went missing since the window read it is
            // missing; anything else was never a request of the window's.
            const bool vanished = copy.operation == kSupervisorRegister && copy.entry < catalogue.size() &&
                                  !catalogue[copy.entry].SkipRegistration;
            Answer(channel, done.get(), copy.sequence, kSupervisorRefused,
                   vanished ? MissingFileError(catalogue[copy.entry]) : ERROR_INVALID_PARAMETER);
            continue;
        }
        SetRegistrationTimeLimit(order.timeLimit);
        const RegistrationOutcome outcome = registrar.Register(order.entry, catalogue[order.entry]);
        Answer(channel, done.get(), copy.sequence, static_cast<LONG>(outcome.kind), outcome.code);
    }
    exitCode = 0;
    return true;
}
