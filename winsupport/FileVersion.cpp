#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/MessageCatalogue.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

bool ReadFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO& info) {
    const std::string ansiPath = ToAnsi(path);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(ansiPath.c_str(), &handle);
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    if (!::GetFileVersionInfoA(ansiPath.c_str(), handle, size, buffer.data())) return false;
    void* record = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(buffer.data(), "\\", &record, &length)) return false;
    // A short record would be read past its end.
    if (record == nullptr || length < sizeof(VS_FIXEDFILEINFO)) return false;
    std::memcpy(&info, record, sizeof(VS_FIXEDFILEINFO));
    return true;
}

std::wstring GetFileVersionText(const std::wstring& path, bool buildOnly) {
    VS_FIXEDFILEINFO info{};
    if (!ReadFixedFileInfo(path, info)) return LoadMessage(msg::NotAvailable);
    const unsigned major = HIWORD(info.dwFileVersionMS);
    const unsigned minor = LOWORD(info.dwFileVersionMS);
    const unsigned build = HIWORD(info.dwFileVersionLS);
    const unsigned revision = LOWORD(info.dwFileVersionLS);
    if (buildOnly) return std::to_wstring(revision != 0 ? revision : build);
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build);
}
