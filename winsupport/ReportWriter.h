#pragma once
// Lines of text for a script to read: UTF-8 into a file, or to the console
// the program was started from (or the output it was given), if any.

#include <windows.h>

#include <string>

#include "winsupport/Handles.h"

class ReportWriter {
public:
    ReportWriter() = default;
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Replaces the file; false when it cannot be written.
    bool OpenFile(const std::wstring& path);
    // The output (or, with STD_ERROR_HANDLE, the error output) the program
    // was given, else its starter's console; without either, lines go nowhere.
    void OpenConsole(DWORD which = STD_OUTPUT_HANDLE);
    void WriteLine(const std::wstring& line);

private:
    UniqueKernelHandle owned_;
    HANDLE out_ = nullptr;
    bool console_ = false;
};
