// The re-registration run behind the repair button: every catalogue entry is
// shown and counted, and all but the marked ones are registered again.

#include <windows.h>
#include <commctrl.h>

#include "app/MessageCatalogue.h"
#include "app/frmMain.h"
#include "repair/modDLLRegister.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {
std::string ShortPathOf(const std::wstring& path) {
    char buffer[261] = {};
    const DWORD length = ::GetShortPathNameA(ToAnsi(path).c_str(), buffer, 260);
    // A result of 260 or more is the size that would have been needed.
    return length == 0 || length >= 260 ? std::string() : std::string(buffer, length);
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
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ProcessPendingMessages();
    if (window_ == nullptr) return;

    HWND progress = Control(ProgressBar1);
    SetVisible(ProgressBar1, true);
    const size_t count = ComponentFiles.size();
    ::SendMessageA(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
    for (size_t index = 0; index < count; ++index) {
        // A copy: the message processing below runs other handlers.
        const ComponentFile entry = ComponentFiles[index];
        const std::wstring fileName = GetFile(entry.FilePath);
        SetText(Label2, FormatPlaceholders(LoadMessage(msg::Processing), {entry.FilePath}));
        ::Sleep(50);
        const std::string shortPath = ShortPathOf(entry.FilePath);
        if (!entry.SkipRegistration) RegisterDll(shortPath, "DllRegisterServer", fileName);
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
}
