#include "app/CommandLine.h"

#include <windows.h>

#include <cwctype>

#include "winsupport/MessageCatalogue.h"
#include "winsupport/modAPI.h"

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

CommandRequest ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandRequest request;
    bool usage = false;
    bool logNamed = false;
    bool programNamed = false;
    const auto fail = [&request](const std::wstring& reason) {
        if (request.error.empty()) request.error = reason;  // the first reason is the one to fix first
    };
    for (const std::wstring& argument : arguments) {
        const bool option = !argument.empty() && (argument[0] == L'/' || argument[0] == L'-');
        const std::wstring name = option ? Lower(argument.substr(1)) : std::wstring();
        if (name == L"check" || name == L"repair") {
            const CommandMode mode = name == L"check" ? CommandMode::Check : CommandMode::Repair;
            if (request.mode != CommandMode::Wizard && request.mode != mode) fail(LoadMessage(msg::CheckOrRepair));
            if (request.mode == CommandMode::Wizard) request.mode = mode;
        } else if (name == L"log" || name.compare(0, 4, L"log:") == 0) {
            logNamed = true;
            request.logPath = name.size() > 4 ? argument.substr(5) : std::wstring();
            if (request.logPath.empty()) fail(LoadMessage(msg::LogNeedsFileName));
        } else if (name == L"program" || name.compare(0, 8, L"program:") == 0) {
            programNamed = true;
            request.programPath = name.size() > 8 ? argument.substr(9) : std::wstring();
        } else if (name == L"json") {
            request.json = true;
        } else if (name == L"?") {
            usage = true;
        } else {
            fail(FormatPlaceholders(LoadMessage(msg::UnknownOption), {argument}));
        }
    }
    if (logNamed && request.mode == CommandMode::Wizard) fail(LoadMessage(msg::LogNeedsCommand));
    if (request.json && request.mode == CommandMode::Wizard) fail(LoadMessage(msg::JsonNeedsCommand));
    if (programNamed && (request.programPath.empty() || request.mode != CommandMode::Check))
        fail(LoadMessage(msg::ProgramNeedsCheck));
    if (usage) request.mode = CommandMode::Usage;
    return request;
}
