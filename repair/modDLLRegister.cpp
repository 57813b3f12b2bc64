#include "repair/modDLLRegister.h"

#include <windows.h>

#include <iterator>

#include "winsupport/DllSearch.h"
#include "winsupport/Handles.h"
#include "winsupport/TextCodec.h"

namespace {
using EntryPoint = HRESULT(WINAPI*)();
}

RegistrationOutcome RegisterDll(const std::string& path, const std::string& entryName,
                                const std::wstring& /*fileName*/) {
    UniqueModule module = LoadComponentLibrary(path);
    if (!module) return {RegistrationOutcome::Kind::LoadFailed, ::GetLastError()};
    // A DLL without the export is unloaded without calling anything.
    const auto entry = ExportedFunction<EntryPoint>(module.get(), entryName.c_str());
    if (entry == nullptr) return {RegistrationOutcome::Kind::NoEntryPoint, ::GetLastError()};
    const HRESULT result = entry();
    if (FAILED(result)) return {RegistrationOutcome::Kind::EntryPointFailed, static_cast<unsigned long>(result)};
    return {RegistrationOutcome::Kind::Registered, static_cast<unsigned long>(result)};
}

std::wstring SystemErrorText(unsigned long errorCode) {
    char buffer[256] = {};
    // No arguments are passed: texts with inserts ("%1") come back with them
    // unfilled instead of failing.
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          errorCode, 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    if (length == 0) return L"Error text not found.";
    return FromAnsi(std::string_view(buffer, length < std::size(buffer) ? length : std::size(buffer)));
}
