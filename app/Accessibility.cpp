// What a screen reader is told of the wizard's controls that have no text of
// their own, and of its links.

#include "app/frmMain.h"
#include "winsupport/MessageCatalogue.h"

void frmMain::DescribeControls() {
    const auto describe = [this](ControlId id, AccessibleKind kind, int name = 0) {
        HWND control = controls_.Made(id);
        if (control == nullptr) return;
        AccessibleFacts facts;
        // A name set by the page (a status icon's verdict) stays.
        if (const AccessibleFacts* known = accessible_.FactsOf(control)) facts = *known;
        facts.kind = kind;
        if (name != 0 && facts.name.empty()) facts.name = LoadMessage(name);
        if (kind == AccessibleKind::Link) facts.action = LoadMessage(msg::LinkOpenAction);
        if (kind == AccessibleKind::List) facts.rowWords = {LoadMessage(msg::RowMatches), LoadMessage(msg::RowDiffers)};
        accessible_.Describe(control, facts);
    };
    describe(imgBigPicture, AccessibleKind::Decoration);
    describe(imgMDACVerOK, AccessibleKind::Graphic, msg::StatusUpToDate);
    describe(imgJetVerOK, AccessibleKind::Graphic, msg::StatusUpToDate);
    describe(imgMDACVerProb, AccessibleKind::Graphic, msg::StatusUpdateRecommended);
    describe(imgJetVerProb, AccessibleKind::Graphic, msg::StatusUpdateRecommended);
    describe(imgRepairing, AccessibleKind::Graphic, msg::RepairRunningPicture);
    describe(imgDownArrow, AccessibleKind::Decoration);  // points at the button, which has its text
    describe(ProgressBar1, AccessibleKind::Progress, msg::ProgressName);
    describe(lvwMDACFiles, AccessibleKind::List, msg::FileListName);
    describe(lblDownloadMDAC, AccessibleKind::Link);
    describe(lblRepairUrl, AccessibleKind::Link);
}

void frmMain::DescribeStatusIcon(ControlId problemIcon, bool found) {
    // ShowPage has described the page's controls.
    HWND icon = controls_.Made(problemIcon);
    const AccessibleFacts* known = accessible_.FactsOf(icon);
    if (known == nullptr) return;
    AccessibleFacts facts = *known;
    // The same sign says "missing" when nothing was found.
    facts.name = LoadMessage(found ? msg::StatusUpdateRecommended : msg::NotAvailable);
    accessible_.Describe(icon, facts);
}
