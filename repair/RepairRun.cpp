// The re-registration run behind the repair button: every catalogue entry is
// shown and counted, and all but the marked ones are registered again.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "app/MessageCatalogue.h"
#include "app/frmMain.h"
#include "repair/RegistrationWorker.h"
#include "repair/modDLLRegister.h"
#include "winsupport/DllSearch.h"
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

std::wstring HexCode(unsigned long code) {
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += L"0123456789ABCDEF"[(code >> shift) & 0xF];
    return text;
}

// Why a registration failed, in the user's words: the system's text for the
// error or HRESULT with its code, or what became of the process it ran in.
std::wstring FailureReason(const RegistrationOutcome& outcome, const std::wstring& fileName) {
    using Kind = RegistrationOutcome::Kind;
    switch (outcome.kind) {
        case Kind::Crashed:
            return LoadMessage(msg::RegistrationCrashed) + L" (" + HexCode(outcome.code) + L")";
        case Kind::TimedOut:
            return FormatPlaceholders(LoadMessage(msg::RegistrationTimedOut),
                                      {static_cast<std::int32_t>((outcome.code + 999) / 1000)});
        default: {
            std::wstring text = SystemErrorText(outcome.code);
            while (!text.empty() && std::iswspace(text.back())) text.pop_back();
            // Some texts name the file as "%1" ("%1 is not a valid Win32 application.").
            for (size_t at = text.find(L"%1"); at != std::wstring::npos; at = text.find(L"%1", at + fileName.size()))
                text.replace(at, 2, fileName);
            return text + L" (" + HexCode(outcome.code) + L")";
        }
    }
}

using FailedRegistrations = std::vector<std::pair<std::wstring, RegistrationOutcome>>;

// One box for the whole run, whatever the number of failed files.
std::wstring FailureReport(const FailedRegistrations& failures) {
    std::wstring text;
    for (const auto& [fileName, outcome] : failures) {
        if (!text.empty()) text += L"\n\n";
        text += FormatPlaceholders(LoadMessage(msg::CouldNotRegister), {fileName}) + L"\n" +
                FailureReason(outcome, fileName);
    }
    return text;
}

}  // namespace

void frmMain::OnRepairClick() {
    SetVisible(cmdRepairMDAC, false);
    SetEnabled(cmdAbbrechen, false);
    SetEnabled(cmdZurück, false);
    SetEnabled(cmdWeiter, false);
    SetVisible(imgRepairing, true);
    SetVisible(Label2, true);
    SetText(Label1, std::wstring(13, L' ') + LoadMessage(msg::VerifyingFiles));
    SetVisible(imgDownArrow, false);
    SetMousePointer(MousePointer::Hourglass);
    RegistrationWorker worker;
    worker.StartEarly();
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ProcessPendingMessages();
    if (window_ == nullptr) return;

    HWND progress = Control(ProgressBar1);
    SetVisible(ProgressBar1, true);
    const size_t count = ComponentFiles.size();
    ::SendMessageA(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
    FailedRegistrations failures;
    for (size_t index = 0; index < count; ++index) {
        // A copy: the message processing below runs other handlers.
        const ComponentFile entry = ComponentFiles[index];
        const std::wstring fileName = GetFile(entry.FilePath);
        SetText(Label2, FormatPlaceholders(LoadMessage(msg::Processing), {entry.FilePath}));
        ::Sleep(50);
        const std::string longPath = ToAnsi(entry.FilePath);
        // A file that is missing or has no version has no path to load; one
        // whose path is not usable fails with the reason.
        if (!entry.SkipRegistration && IsAbsolutePath(longPath)) {
            const ShortPath shortPath = ShortPathOf(longPath);
            const RegistrationOutcome outcome =
                IsAbsolutePath(shortPath.path)
                    ? worker.Register(shortPath.path, "DllRegisterServer")
                    : RegistrationOutcome{RegistrationOutcome::Kind::LoadFailed, shortPath.error};
            if (window_ == nullptr) return;
            if (outcome.Failed()) failures.emplace_back(fileName, outcome);
        }
        ::SendMessageA(progress, PBM_SETPOS, static_cast<WPARAM>(index + 1), 0);
        ProcessPendingMessages();
        if (window_ == nullptr) return;
        ::Sleep(150);
    }

    SetVisible(imgRepairing, false);
    SetText(Label1, LoadMessage(msg::RepairFinished));
    SetVisible(Label2, false);
    SetVisible(Label16, true);
    SetVisible(ProgressBar1, false);
    SetVisible(optResolved, true);
    SetVisible(optFurtherProblems, true);
    SetMousePointer(MousePointer::Default);
    RepairDone = true;
    SetEnabled(cmdWeiter, true);
    SetEnabled(cmdZurück, true);
    SetEnabled(cmdAbbrechen, true);
    ::SetFocus(Control(cmdWeiter));
    if (failures.empty()) return;
    ::MessageBoxW(window_, FailureReport(failures).c_str(), LoadMessage(msg::ProgramTitle).c_str(), MB_OK);
    // The window, reactivated, would otherwise keep the focus itself.
    if (window_ != nullptr) ::SetFocus(Control(cmdWeiter));
}
