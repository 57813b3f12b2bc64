#include "repair/RegistrationWorker.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "winsupport/DecimalText.h"
#include "winsupport/DllSearch.h"
#include "winsupport/LateImports.h"
#include "winsupport/OleSession.h"
#include "winsupport/Waits.h"

namespace {

constexpr wchar_t kWorkerSwitch[] = L"/RegistrationWorker";
// MDAC's components register in well under a second; a minute leaves room for
// a slow disk and a virus scanner looking at every file they touch.
DWORD g_timeLimit = 60000;
// After the last registration the worker only has to unload OLE and end.
constexpr DWORD kEndWait = 5000;
constexpr LONG kNoAnswer = -1;

using Kind = RegistrationOutcome::Kind;

enum Operation : LONG { kStop, kRegister, kCheckClass };

// Shared by both processes; the worker answers in place.
struct Channel {
    LONG operation;
    char path[MAX_PATH + 1];
    char entryName[64];
    wchar_t progId[64];
    LONG kind;  // of a registration, or of a class check
    DWORD code;
    wchar_t serverPath[1024];  // a class's server as registered
};

}  // namespace

DWORD RegistrationTimeLimit() {
    return g_timeLimit;
}

void SetRegistrationTimeLimit(DWORD milliseconds) {
    g_timeLimit = milliseconds;
}

RegistrationWorker::~RegistrationWorker() {
    End(kEndWait);
}

void RegistrationWorker::End(DWORD waitMilliseconds) {
    if (!process_) return;
    if (auto* channel = static_cast<Channel*>(view_.get())) {
        channel->operation = kStop;
        ::SetEvent(request_.get());
    }
    if (::WaitForSingleObject(process_.get(), waitMilliseconds) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_.get(), ERROR_TIMEOUT);
        ::WaitForSingleObject(process_.get(), kEndWait);
    }
    process_.reset();
}

DWORD RegistrationWorker::Start() {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!view_) {
        mapping_.reset(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0, sizeof(Channel), nullptr));
        if (!mapping_) return ::GetLastError();
        view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(Channel)));
        if (!view_) return ::GetLastError();
        request_.reset(::CreateEventW(&inherited, FALSE, FALSE, nullptr));
        done_.reset(::CreateEventW(&inherited, FALSE, FALSE, nullptr));
        HANDLE self = nullptr;
        if (::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &self, SYNCHRONIZE,
                              TRUE, 0))
            self_.reset(self);
        if (!request_ || !done_ || !self_) return ::GetLastError();
    }
    // A request a crashed worker never took must not reach the next one.
    ::ResetEvent(request_.get());
    ::ResetEvent(done_.get());

    std::vector<wchar_t> program(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) return ::GetLastError();
    std::wstring commandLine = L"\"" + std::wstring(program.data(), length) + L"\" " + kWorkerSwitch;
    for (HANDLE handle : {mapping_.get(), request_.get(), done_.get(), self_.get()})
        commandLine += L" " + DecimalText(reinterpret_cast<std::uintptr_t>(handle));
    // Started in the system directory: whatever the component looks for
    // relative to the current directory is not taken from a download folder.
    wchar_t systemDirectory[MAX_PATH + 1] = {};
    const UINT systemLength = ::GetSystemDirectoryW(systemDirectory, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;  // the run shows its own wait cursor
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.data(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          systemLength != 0 && systemLength < MAX_PATH ? systemDirectory : nullptr, &startup, &started))
        return ::GetLastError();
    ::CloseHandle(started.hThread);
    process_.reset(started.hProcess);
    return ERROR_SUCCESS;
}

void RegistrationWorker::StartEarly() {
    if (!process_) static_cast<void>(Start());
}

RegistrationOutcome RegistrationWorker::Register(const std::string& path, const std::string& entryName) {
    if (!IsAbsolutePath(path) || path.size() >= sizeof(Channel::path)) return {Kind::LoadFailed, ERROR_BAD_PATHNAME};
    if (entryName.size() >= sizeof(Channel::entryName)) return {Kind::NoEntryPoint, ERROR_PROC_NOT_FOUND};
    if (!process_) {
        const DWORD error = Start();
        if (error != ERROR_SUCCESS) return {Kind::NotStarted, error};
    }
    auto* channel = static_cast<Channel*>(view_.get());
    if (channel == nullptr) return {Kind::NotStarted, ERROR_INVALID_HANDLE};
    channel->operation = kRegister;
    std::memcpy(channel->path, path.c_str(), path.size() + 1);
    std::memcpy(channel->entryName, entryName.c_str(), entryName.size() + 1);
    const RegistrationOutcome ending = Await();
    if (ending.kind != Kind::Registered) return ending;
    return {static_cast<Kind>(channel->kind), channel->code};
}

ClassOutcome RegistrationWorker::CheckClass(const std::wstring& progId) {
    ClassOutcome outcome;
    outcome.state = ClassState::Fails;
    if (progId.empty() || progId.size() >= std::size(Channel{}.progId)) {
        outcome.how = {Kind::EntryPointFailed, static_cast<unsigned long>(CO_E_CLASSSTRING)};
        return outcome;
    }
    if (!process_) {
        const DWORD error = Start();
        if (error != ERROR_SUCCESS) {
            outcome.how = {Kind::NotStarted, error};
            return outcome;
        }
    }
    auto* channel = static_cast<Channel*>(view_.get());
    if (channel == nullptr) {
        outcome.how = {Kind::NotStarted, ERROR_INVALID_HANDLE};
        return outcome;
    }
    channel->operation = kCheckClass;
    std::memcpy(channel->progId, progId.c_str(), (progId.size() + 1) * sizeof(wchar_t));
    channel->serverPath[0] = L'\0';
    outcome.how = Await();
    // Written before the server ran: known also when it crashed or hung.
    channel->serverPath[std::size(channel->serverPath) - 1] = L'\0';
    outcome.path = channel->serverPath;
    if (outcome.how.kind == Kind::Registered) {
        outcome.state = static_cast<ClassState>(channel->kind);
        if (outcome.state != ClassState::Ready) outcome.how = {Kind::EntryPointFailed, channel->code};
    }
    // COM keeps the servers it loaded: the process serves one pass of class
    // checks and ends with its owner, never to register or check again later.
    return outcome;
}

RegistrationOutcome RegistrationWorker::Await() {
    auto* channel = static_cast<Channel*>(view_.get());
    channel->kind = kNoAnswer;
    channel->code = 0;
    ::SetEvent(request_.get());

    const DWORD limit = g_timeLimit;
    const DWORD result = WaitTakingSentMessages({done_.get(), process_.get()}, limit);
    if (result == WAIT_OBJECT_0 && channel->kind != kNoAnswer) return {Kind::Registered, 0};
    if (result == WAIT_TIMEOUT) {
        End(0);
        return {Kind::TimedOut, limit};
    }
    // The worker ended inside the component, or answered nothing.
    DWORD exitCode = 0;
    if (result != WAIT_OBJECT_0 + 1 || !::GetExitCodeProcess(process_.get(), &exitCode)) exitCode = 0;
    End(0);
    return {Kind::Crashed, exitCode};
}

// ---- the worker's side ----------------------------------------------------------

namespace {

// A component's unhandled exception ends the worker at once with its code,
// before any dialog: the window reports it.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception) {
    ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

HANDLE HandleFrom(const wchar_t* text) {
    std::uintptr_t value = 0;
    return ParseDecimal(text, value) ? reinterpret_cast<HANDLE>(value) : nullptr;
}

}  // namespace

bool ServeRegistrationsIfAsked(const wchar_t* commandLine, int& exitCode) {
    const std::vector<std::wstring> arguments = CommandLineArguments(commandLine);
    if (arguments.size() != 5 || arguments[0] != kWorkerSwitch) return false;
    exitCode = ERROR_INVALID_PARAMETER;
    const UniqueKernelHandle mapping(HandleFrom(arguments[1].c_str()));
    const UniqueKernelHandle request(HandleFrom(arguments[2].c_str()));
    const UniqueKernelHandle done(HandleFrom(arguments[3].c_str()));
    const UniqueKernelHandle parent(HandleFrom(arguments[4].c_str()));
    if (!mapping || !request || !done || !parent) return true;
    const UniqueHandle<NullHandleTraits<void*, &::UnmapViewOfFile>> view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Channel)));
    if (!view) return true;
    auto* channel = static_cast<Channel*>(view.get());

    // No system dialog for a component that cannot be found or crashes.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(EndWithExceptionCode);
    // Self-registration code of COM components expects OLE on the calling thread.
    const OleSession ole;
    HANDLE waits[] = {request.get(), parent.get()};
    while (::WaitForMultipleObjects(static_cast<DWORD>(std::size(waits)), waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        const LONG operation = channel->operation;
        if (operation == kRegister) {
            char path[sizeof(channel->path)];
            char entryName[sizeof(channel->entryName)];
            std::memcpy(path, channel->path, sizeof(path));
            std::memcpy(entryName, channel->entryName, sizeof(entryName));
            path[sizeof(path) - 1] = '\0';
            entryName[sizeof(entryName) - 1] = '\0';
            const RegistrationOutcome outcome = RegisterDll(path, entryName, std::wstring());
            channel->code = outcome.code;
            channel->kind = static_cast<LONG>(outcome.kind);
        } else if (operation == kCheckClass) {
            wchar_t progId[std::size(Channel{}.progId)];
            std::memcpy(progId, channel->progId, sizeof(progId));
            progId[std::size(progId) - 1] = L'\0';
            const ClassOutcome outcome = CheckClassHere(progId, [channel](const std::wstring& path) {
                const size_t length = std::min(path.size(), std::size(channel->serverPath) - 1);
                std::memcpy(channel->serverPath, path.c_str(), length * sizeof(wchar_t));
                channel->serverPath[length] = L'\0';
            });
            channel->code = outcome.how.code;
            channel->kind = static_cast<LONG>(outcome.state);
        } else {
            break;
        }
        ::SetEvent(done.get());
    }
    exitCode = 0;
    return true;
}
