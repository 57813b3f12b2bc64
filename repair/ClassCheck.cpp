#include "repair/ClassCheck.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cwctype>
#include <iterator>

#include "repair/RegistrationWorker.h"
#include "repair/RepairRun.h"
#include "winsupport/Handles.h"
#include "winsupport/LateImports.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/PeImage.h"

namespace {

constexpr wchar_t kJetProvider[] = L"Microsoft.Jet.OLEDB.4.0";
// Jet was never built for 64-bit Windows: a 64-bit program never finds it.
constexpr bool k64BitProgram = sizeof(void*) == 8;

using Kind = RegistrationOutcome::Kind;

ClassOutcome Answer(ClassState state, unsigned long code, std::wstring path = {}) {
    ClassOutcome outcome;
    outcome.state = state;
    outcome.how =
        state == ClassState::Ready ? RegistrationOutcome{} : RegistrationOutcome{Kind::EntryPointFailed, code};
    outcome.path = std::move(path);
    return outcome;
}

// The default value of the class's InprocServer32 key, expanded; false when
// there is no such key or value.
bool ReadServerPath(const CLSID& clsid, std::wstring& path) {
    wchar_t guid[40] = {};
    if (late::StringFromGUID2(clsid, guid, static_cast<int>(std::size(guid))) == 0) return false;
    const std::wstring keyName = std::wstring(L"CLSID\\") + guid + L"\\InprocServer32";
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    const UniqueHkey key(opened);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    value.resize(std::min<size_t>(size / sizeof(wchar_t), value.size()));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    if (type == REG_EXPAND_SZ) {
        const DWORD needed = ::ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
        std::wstring expanded(needed, L'\0');
        if (needed != 0 && ::ExpandEnvironmentStringsW(value.c_str(), expanded.data(), needed) == needed) {
            expanded.resize(needed - 1);
            value = expanded;
        }
    }
    path = value;
    return !path.empty();
}

// Registrations sometimes quote the path; COM reads it either way.
std::wstring Unquoted(const std::wstring& path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') return path.substr(1, path.size() - 2);
    return path;
}

bool IsBareName(const std::wstring& path) {
    return path.find_first_of(L"\\/:") == std::wstring::npos;
}

// Where this process would look for a bare name; systems differ in what
// CoCreateInstance answers when it finds nothing there.
std::wstring SearchedPath(const std::wstring& name) {
    wchar_t found[MAX_PATH + 1] = {};
    const DWORD length = ::SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, found, nullptr);
    return length != 0 && length <= MAX_PATH ? std::wstring(found, length) : std::wstring();
}

bool FoundBySearch(const std::wstring& name) {
    return !SearchedPath(name).empty();
}

bool SameName(const std::wstring& left, const std::wstring& right) {
    return ::lstrcmpiW(left.c_str(), right.c_str()) == 0;
}

bool FilePresent(const ComponentFileTable& catalogue, const std::wstring& fileName) {
    for (const ComponentFile& entry : catalogue) {
        if (SameName(entry.FileName, fileName))
            return ::GetFileAttributesW(entry.CataloguePath.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    return false;
}

std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && std::iswspace(text.back())) text.pop_back();
    return text;
}

}  // namespace

const std::vector<DataAccessClass>& DataAccessClasses() {
    static const std::vector<DataAccessClass> classes = {
        {L"ADODB.Connection", L"MSADO15.DLL"}, {L"ADODB.Recordset", L"MSADO15.DLL"},
        {L"ADODB.Command", L"MSADO15.DLL"},    {L"ADODB.Stream", L"MSADO15.DLL"},
        {L"ADOX.Catalog", L"MSADOX.DLL"},      {L"JRO.JetEngine", L"MSJRO.DLL"},
        {kJetProvider, L"msjetoledb40.dll"},   {L"MSDASQL", L"MSDASQL.DLL"},
        {L"MSDataShape", L"MSADDS.DLL"},       {L"MSDAOSP", L"MSDAOSP.DLL"},
        {L"DataLinks", L"OLEDB32.DLL"},        {L"MSDASC.MSDAINITIALIZE", L"OLEDB32.DLL"},
    };
    return classes;
}

ClassOutcome CheckClassHere(const std::wstring& progId, const std::function<void(const std::wstring&)>& pathFound) {
    CLSID clsid{};
    const HRESULT resolved = late::CLSIDFromProgID(progId.c_str(), &clsid);
    if (FAILED(resolved)) return Answer(ClassState::NotRegistered, static_cast<unsigned long>(resolved));
    std::wstring path;
    if (!ReadServerPath(clsid, path))
        return Answer(ClassState::NotRegistered, static_cast<unsigned long>(REGDB_E_CLASSNOTREG));
    // Known before the server runs, which may end this process.
    if (pathFound) pathFound(path);
    // A bare name is searched for by the loader; only a path can be looked at.
    if (!IsBareName(Unquoted(path)) && ::GetFileAttributesW(Unquoted(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return Answer(ClassState::FileMissing, error != ERROR_SUCCESS ? error : ERROR_FILE_NOT_FOUND, path);
    }
    // A file of the other bitness is no fault of the class's registration
    // alone, and loading it only says "not a valid application".
    PeImage image;
    const std::wstring file = IsBareName(Unquoted(path)) ? SearchedPath(Unquoted(path)) : Unquoted(path);
    if (!file.empty() && ReadPeImage(file, image) && image.pe32Plus != k64BitProgram)
        return Answer(ClassState::WrongBitness, ERROR_BAD_EXE_FORMAT, path);
    IUnknown* instance = nullptr;
    const HRESULT created =
        late::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&instance));
    if (SUCCEEDED(created) && instance != nullptr) {
        instance->Release();
        return Answer(ClassState::Ready, 0, path);
    }
    if (created == REGDB_E_CLASSNOTREG)
        return Answer(ClassState::NotRegistered, static_cast<unsigned long>(created), path);
    if (IsBareName(Unquoted(path)) && !FoundBySearch(Unquoted(path)))
        return Answer(ClassState::FileMissing, ERROR_MOD_NOT_FOUND, path);
    return Answer(ClassState::Fails, static_cast<unsigned long>(SUCCEEDED(created) ? E_POINTER : created), path);
}

std::vector<ClassReport> CheckClasses(const std::vector<DataAccessClass>& classes, const ComponentFileTable& catalogue,
                                      const std::function<bool()>& keepAlive) {
    RegistrationWorker worker;
    worker.StartEarly();
    return CheckClasses(classes, catalogue, worker, keepAlive);
}

std::vector<ClassReport> CheckClasses(const std::vector<DataAccessClass>& classes, const ComponentFileTable& catalogue,
                                      RegistrationWorker& worker, const std::function<bool()>& keepAlive) {
    std::vector<ClassReport> reports;
    reports.reserve(classes.size());
    // One process for the pass; a class that crashes or hangs ends it, and
    // the next check starts another.
    for (const DataAccessClass& dataClass : classes) {
        ClassReport report;
        report.dataClass = dataClass;
        report.outcome = worker.CheckClass(dataClass.progId);
        report.filePresent = FilePresent(catalogue, dataClass.fileName);
        reports.push_back(std::move(report));
        if (keepAlive && !keepAlive()) break;
    }
    return reports;
}

bool IsBroken(const ClassReport& report) {
    return report.outcome.state != ClassState::Ready && report.filePresent;
}

bool AnyBroken(const std::vector<ClassReport>& reports) {
    for (const ClassReport& report : reports) {
        if (IsBroken(report)) return true;
    }
    return false;
}

const wchar_t* ClassKeyword(ClassState state) {
    switch (state) {
        case ClassState::Ready:
            return L"ready";
        case ClassState::NotRegistered:
            return L"not-registered";
        case ClassState::FileMissing:
            return L"file-missing";
        case ClassState::WrongBitness:
            return L"wrong-bitness";
        case ClassState::Fails:
            break;
    }
    return L"fails";
}

std::wstring ClassCode(const ClassReport& report) {
    if (report.outcome.state == ClassState::Ready) return {};
    return FailureCode(report.outcome.how);
}

std::wstring ClassReason(const ClassReport& report) {
    const ClassOutcome& outcome = report.outcome;
    if (outcome.state == ClassState::Ready) return {};
    std::wstring text;
    if (outcome.state == ClassState::NotRegistered) {
        text = LoadMessage(outcome.how.code == static_cast<unsigned long>(CO_E_CLASSSTRING) ? msg::ProgIdNotRegistered
                                                                                            : msg::ClassNotRegistered);
    } else {
        text = Trimmed(FailureText(outcome.how, report.dataClass.fileName));
    }
    if (k64BitProgram && outcome.state == ClassState::NotRegistered && report.dataClass.progId == kJetProvider)
        return LoadMessage(msg::JetFor32BitOnly) + L" " + text;
    return text;
}
