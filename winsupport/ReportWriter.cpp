#include "winsupport/ReportWriter.h"

#include <windows.h>

#include <string>

namespace {

bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

HANDLE OrNull(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

bool ReportWriter::OpenFile(const std::wstring& path) {
    owned_.reset(OrNull(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)));
    out_ = owned_.get();
    console_ = false;
    return out_ != nullptr;
}

void ReportWriter::OpenConsole(DWORD which) {
    HANDLE out = ::GetStdHandle(which);
    if (!Usable(out)) {
        // A program without a console of its own sees its starter's only when
        // it asks; the second writer finds it attached already.
        if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED) return;
        owned_.reset(OrNull(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr)));
        out = owned_.get();
        if (out == nullptr) return;
    }
    DWORD mode = 0;
    console_ = ::GetConsoleMode(out, &mode) != 0;
    out_ = out;
}

void ReportWriter::WriteLine(const std::wstring& line) {
    if (out_ == nullptr) return;
    const std::wstring text = line + L"\r\n";
    DWORD written = 0;
    if (console_) {
        // The console shows every character whatever its code page.
        ::WriteConsoleW(out_, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    ::WriteFile(out_, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}
