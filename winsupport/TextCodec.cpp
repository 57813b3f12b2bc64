#include "winsupport/TextCodec.h"

#include <windows.h>

#include <climits>

std::string ToAnsi(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string result(static_cast<size_t>(needed), '\0');
    const int written = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}

std::wstring FromAnsi(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring result(static_cast<size_t>(needed), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, result.data(), needed);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}
