#include "repair/RepairRun.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <string>

#include "winsupport/DllSearch.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

struct ShortPath {
    std::string path;
    DWORD error;
};

ShortPath ShortPathOf(const std::string& path) {
    char buffer[261] = {};
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, 260);
    // A result of 260 or more is the size that would have been needed.
    if (length >= 260) return {std::string(), ERROR_FILENAME_EXCED_RANGE};
    if (length == 0) return {std::string(), ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_BAD_PATHNAME};
    return {std::string(buffer, length), ERROR_SUCCESS};
}

bool AskTheSystem(const std::wstring& path) {
    using Query = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    const UniqueModule sfc = LoadSystemLibrary(L"sfc.dll");
    const auto query = ExportedFunction<Query>(sfc.get(), "SfcIsFileProtected");
    return query != nullptr && query(nullptr, path.c_str()) != FALSE;
}

FileProtectionQuery g_protectionQuery = &AskTheSystem;

std::wstring HexCode(unsigned long code) {
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += L"0123456789ABCDEF"[(code >> shift) & 0xF];
    return text;
}

}  // namespace

RegistrationOutcome WorkerRegistrar::Register(std::size_t, const ComponentFile& entry) {
    // A file whose path is not usable fails with the reason.
    const ShortPath shortPath = ShortPathOf(ToAnsi(entry.FilePath));
    return IsAbsolutePath(shortPath.path) ? worker_.Register(shortPath.path, "DllRegisterServer")
                                          : RegistrationOutcome{RegistrationOutcome::Kind::LoadFailed, shortPath.error};
}

std::vector<EntryOutcome> RunRepair(const ComponentFileTable& catalogue, Registrar& registrar,
                                    RepairProgress& progress) {
    std::vector<EntryOutcome> outcomes;
    outcomes.reserve(catalogue.size());
    for (const ComponentFile& entry : catalogue) {
        progress.ShowEntry(entry);
        EntryOutcome outcome;
        if (IsRegisteredByRun(entry)) {
            outcome.attempted = true;
            outcome.registration = registrar.Register(outcomes.size(), entry);
            outcome.refusedAsProtected = IsRefusedAsProtected(outcome.registration, entry.FilePath);
        }
        outcomes.push_back(outcome);
        progress.Step(outcomes.size());
        if (!progress.KeepAlive()) break;
    }
    return outcomes;
}

bool IsSystemProtectedFile(const std::wstring& path) {
    return g_protectionQuery(path);
}

void SetFileProtectionQuery(FileProtectionQuery query) {
    g_protectionQuery = query != nullptr ? query : &AskTheSystem;
}

bool IsRefusedAsProtected(const RegistrationOutcome& outcome, const std::wstring& path) {
    if (outcome.kind != RegistrationOutcome::Kind::EntryPointFailed) return false;
    const auto code = static_cast<HRESULT>(outcome.code);
    return (code == E_ACCESSDENIED || code == TYPE_E_REGISTRYACCESS) && IsSystemProtectedFile(path);
}

std::wstring FailureText(const RegistrationOutcome& outcome, const std::wstring& fileName) {
    using Kind = RegistrationOutcome::Kind;
    switch (outcome.kind) {
        case Kind::Crashed:
            return LoadMessage(msg::RegistrationCrashed);
        case Kind::TimedOut:
            return FormatPlaceholders(LoadMessage(msg::RegistrationTimedOut),
                                      {static_cast<std::int32_t>((outcome.code + 999) / 1000)});
        default: {
            std::wstring text = SystemErrorText(outcome.code);
            while (!text.empty() && std::iswspace(text.back())) text.pop_back();
            // Some texts name the file as "%1" ("%1 is not a valid Win32 application.").
            for (size_t at = text.find(L"%1"); at != std::wstring::npos; at = text.find(L"%1", at + fileName.size()))
                text.replace(at, 2, fileName);
            return text;
        }
    }
}

std::wstring FailureCode(const RegistrationOutcome& outcome) {
    // A hung registration's code is the time it was given.
    return outcome.kind == RegistrationOutcome::Kind::TimedOut ? std::wstring() : HexCode(outcome.code);
}

std::wstring FailureReason(const RegistrationOutcome& outcome, const std::wstring& fileName) {
    const std::wstring code = FailureCode(outcome);
    return FailureText(outcome, fileName) + (code.empty() ? L"" : L" (" + code + L")");
}

unsigned long MissingFileError(const ComponentFile& entry) {
    if (::GetFileAttributesW(entry.CataloguePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_FILE_NOT_FOUND;
    }
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
}

std::wstring FailureReport(const ComponentFileTable& catalogue, const std::vector<EntryOutcome>& outcomes,
                           const std::vector<ClassReport>& classes) {
    std::wstring text;
    const auto paragraph = [&text](const std::wstring& lines) { text += (text.empty() ? L"" : L"\n\n") + lines; };
    bool anyProtected = false;
    for (size_t index = 0; index < outcomes.size() && index < catalogue.size(); ++index) {
        const EntryOutcome& outcome = outcomes[index];
        if (!outcome.attempted || !outcome.registration.Failed()) continue;
        const std::wstring fileName = FileNameOf(catalogue[index].FilePath);
        paragraph(FormatPlaceholders(LoadMessage(msg::CouldNotRegister), {fileName}) + L"\n" +
                  FailureReason(outcome.registration, fileName));
        anyProtected = anyProtected || outcome.refusedAsProtected;
    }
    for (const ClassReport& report : classes) {
        if (!IsBroken(report)) continue;
        const std::wstring code = ClassCode(report);
        paragraph(FormatPlaceholders(LoadMessage(msg::ClassNotUsable), {report.dataClass.progId}) + L"\n" +
                  ClassReason(report) + (code.empty() ? L"" : L" (" + code + L")"));
    }
    if (anyProtected) paragraph(LoadMessage(msg::ProtectedFiles));
    return text;
}
