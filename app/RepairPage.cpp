// The repair page's run: the button asks for administrator rights and starts
// it, the page shows each entry and the progress, and a box lists the
// registrations that failed.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/frmMain.h"
#include "repair/RepairRun.h"
#include "repair/RepairSupervisor.h"
#include "ui/AccessibleControls.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/Waits.h"
#include "winsupport/modAPI.h"

namespace {

// The run's waits pace the progress bar, so that a user sees each entry.
class RepairPageProgress final : public RepairProgress {
public:
    RepairPageProgress(frmMain& form, WizardControls& controls)
        : form_(form), controls_(controls), announcer_(controls.Made(ProgressBar1)) {}

    void ShowEntry(const ComponentFile& entry) override {
        controls_.SetText(Label2, FormatPlaceholders(LoadMessage(msg::Processing), {entry.FilePath}));
        PauseForReader(50);
    }
    void Step(std::size_t done) override {
        ::SendMessageA(controls_.Made(ProgressBar1), PBM_SETPOS, static_cast<WPARAM>(done), 0);
        announcer_.Moved();
    }
    bool KeepAlive() override {
        form_.ProcessPendingMessages();
        if (!form_.IsLoaded()) return false;
        PauseForReader(150);
        return true;
    }

private:
    frmMain& form_;
    WizardControls& controls_;
    ProgressAnnouncer announcer_;
};

}  // namespace

void frmMain::OnRepairClick() {
    // Administrator rights are asked for before the page changes: declined,
    // it stays as it was and the button can be pressed again.
    SetMousePointer(MousePointer::Hourglass);
    StartOle();
    RepairSupervisor supervisor;
    const unsigned long started = supervisor.Start(window_, CurrentRights() == Rights::CanAsk);
    if (window_ == nullptr) return;
    if (started != ERROR_SUCCESS) {
        SetMousePointer(MousePointer::Default);
        std::wstring text = LoadMessage(msg::RepairNeedsRights);
        // Not declined: something else kept it from starting, and the user is told what.
        if (started != ERROR_CANCELLED) {
            const RegistrationOutcome notStarted{RegistrationOutcome::Kind::NotStarted, started};
            text += L"\n\n" + FailureReason(notStarted, std::wstring());
        }
        ::MessageBoxW(window_, text.c_str(), LoadMessage(msg::ProgramTitle).c_str(), MB_OK);
        if (window_ != nullptr) ::SetFocus(Control(cmdRepairMDAC));
        return;
    }

    // The keyboard stays on the page while every button is off: on the bar
    // that shows how far the run is.
    controls_.SetVisible(ProgressBar1, true);
    ::SetFocus(Control(ProgressBar1));
    controls_.SetVisible(cmdRepairMDAC, false);
    controls_.SetEnabled(cmdAbbrechen, false);
    controls_.SetEnabled(cmdZurück, false);
    controls_.SetEnabled(cmdWeiter, false);
    controls_.SetVisible(imgRepairing, true);
    controls_.SetVisible(Label2, true);
    controls_.SetText(Label1, std::wstring(13, L' ') + LoadMessage(msg::VerifyingFiles));
    // The start, the end and the question are read out; each file is not,
    // as 31 paths in a few seconds would drown the speech.
    const bool liveRegions = LiveRegionsAvailable(RunningWindowsRelease());
    for (ControlId status : {Label1, Label16}) MakeLiveRegion(Control(status));
    AnnounceChange(Control(Label1), liveRegions);
    controls_.SetVisible(imgDownArrow, false);
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ProcessPendingMessages();
    if (window_ == nullptr) return;

    // A copy: the message processing during the run runs other handlers.
    const ComponentFileTable catalogue = ComponentFiles;
    ::SendMessageA(Control(ProgressBar1), PBM_SETRANGE32, 0, static_cast<LPARAM>(catalogue.size()));
    RepairPageProgress progress(*this, controls_);
    const std::vector<EntryOutcome> outcomes = RunRepair(catalogue, supervisor, progress);
    if (window_ == nullptr) return;
    // Whether database programs can now create the classes; the page stays as
    // it is meanwhile, and the window keeps answering.
    const std::vector<ClassReport> classes = CheckClasses(DataAccessClasses(), catalogue, [this] {
        ProcessPendingMessages();
        return IsLoaded();
    });
    if (window_ == nullptr) return;

    controls_.SetVisible(imgRepairing, false);
    controls_.SetText(Label1, LoadMessage(msg::RepairFinished));
    AnnounceChange(Control(Label1), liveRegions);
    controls_.SetVisible(Label2, false);
    controls_.SetVisible(Label16, true);
    AnnounceChange(Control(Label16), liveRegions);
    controls_.SetVisible(ProgressBar1, false);
    controls_.SetVisible(optResolved, true);
    controls_.SetVisible(optFurtherProblems, true);
    SetMousePointer(MousePointer::Default);
    RepairDone = true;
    controls_.SetEnabled(cmdWeiter, true);
    controls_.SetEnabled(cmdZurück, true);
    controls_.SetEnabled(cmdAbbrechen, true);
    ::SetFocus(Control(cmdWeiter));
    const std::wstring failures = FailureReport(catalogue, outcomes, classes);
    if (failures.empty()) return;
    ::MessageBoxW(window_, failures.c_str(), LoadMessage(msg::ProgramTitle).c_str(), MB_OK);
    // The window, reactivated, would otherwise keep the focus itself.
    if (window_ != nullptr) ::SetFocus(Control(cmdWeiter));
}
