// The window's design: every control with its place in twips, its font and
// its state before start-up. Positions the pages do not prescribe are chosen
// to keep headings in the white band and texts clear of each other.

#include "app/frmMain.h"
#include "resources/resource.h"

namespace {
constexpr ControlId kWindow = static_cast<ControlId>(0);
using K = ControlKind;
using F = FontRole;
}  // namespace

const std::vector<ControlLayout>& DesignLayout() {
    static const std::vector<ControlLayout> layout = {
        // The button bar lies on the window itself.
        {cmdZurück, "cmdZurück", K::Button, kWindow, 3372, 4404, 1200, 336, F::Normal, true, false, 0},
        {cmdWeiter, "cmdWeiter", K::Button, kWindow, 4575, 4410, 1200, 336, F::Normal, true, true, 0},
        {cmdAbbrechen, "cmdAbbrechen", K::Button, kWindow, 5940, 4404, 1200, 336, F::Normal, true, true, 0},
        {pic1, "pic1", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, true, true, 0},
        {pic2, "pic2", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, false, true, 0},
        {pic3, "pic3", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, false, true, 0},
        {pic4, "pic4", K::Panel, kWindow, 0, -15, 7368, 4224, F::None, false, true, 0},
        {pic5, "pic5", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, false, true, 0},

        {lblWillkommen, "lblWillkommen", K::Label, pic1, 2664, 204, 4356, 696, F::Title, true, true, 0},
        {Label10, "Label10", K::Label, pic1, 2670, 1050, 3915, 2445, F::Normal, true, true, 0},
        {Label11, "Label11", K::Label, pic1, 2670, 3825, 2565, 165, F::Small, true, true, 0},
        {imgBigPicture, "imgBigPicture", K::Picture, pic1, 0, 0, 2460, 4680, F::None, true, true, IDB_WELCOME},

        {Label19, "Label19", K::Label, pic2, 240, 120, 6900, 210, F::Bold, true, true, 0},
        {lblHeaderExplanation1, "lblHeaderExplanation1", K::Label, pic2, 480, 375, 6660, 210, F::Normal, true, true, 0},
        {lblMDACVerHeader, "lblMDACVerHeader", K::Label, pic2, 405, 1095, 6000, 210, F::Bold, true, true, 0},
        // Created before what they overlap, and so on top of it: the link and
        // the continue hint lie over the Jet text's lower part, which stays
        // empty when they show; each text lies over the right quarter of its
        // problem icon, which the icon's picture leaves empty.
        {lblDownloadMDAC, "lblDownloadMDAC", K::Label, pic2, 780, 2115, 1335, 195, F::Normal, true, true, 0},
        {lblVersionsContinue, "lblVersionsContinue", K::Label, pic2, 435, 3660, 6360, 555, F::Normal, false, true, 0},
        {lblMDACVerDescr, "lblMDACVerDescr", K::Label, pic2, 780, 1455, 5760, 675, F::Normal, true, true, 0},
        {imgMDACVerOK, "imgMDACVerOK", K::Icon, pic2, 435, 1440, 240, 240, F::None, true, true, IDI_STATUS_OK},
        {imgMDACVerProb, "imgMDACVerProb", K::Icon, pic2, 405, 1440, 480, 480, F::None, false, true,
         IDI_STATUS_PROBLEM},
        {lblJetVerHeader, "lblJetVerHeader", K::Label, pic2, 420, 2505, 6000, 210, F::Bold, true, true, 0},
        {lblJetVerDescr, "lblJetVerDescr", K::Label, pic2, 780, 2835, 5760, 1335, F::Normal, true, true, 0},
        {imgJetVerOK, "imgJetVerOK", K::Icon, pic2, 450, 2835, 240, 240, F::None, true, true, IDI_STATUS_OK},
        {imgJetVerProb, "imgJetVerProb", K::Icon, pic2, 420, 2835, 480, 480, F::None, false, true, IDI_STATUS_PROBLEM},

        {Label6, "Label6", K::Label, pic3, 240, 120, 6900, 210, F::Bold, true, true, 0},
        {lblHeaderExplanation2, "lblHeaderExplanation2", K::Label, pic3, 480, 375, 6660, 210, F::Normal, true, true, 0},
        // Label1 is tall enough for the four lines of the text at the end of
        // the run; the icon, the arrow and the button that lie over it are
        // created (and so stacked) before it.
        {imgRepairing, "imgRepairing", K::Icon, pic3, 690, 930, 480, 480, F::None, false, true, IDI_REPAIRING},
        {imgDownArrow, "imgDownArrow", K::Icon, pic3, 2070, 1350, 240, 240, F::None, true, true, IDI_DOWN_ARROW},
        {cmdRepairMDAC, "cmdRepairMDAC", K::Button, pic3, 690, 1695, 3135, 375, F::Normal, true, true, 0},
        {Label1, "Label1", K::Label, pic3, 690, 1035, 6300, 900, F::Normal, true, true, 0},
        {ProgressBar1, "ProgressBar1", K::ProgressBar, pic3, 690, 2265, 5940, 240, F::None, false, true, 0},
        {Label16, "Label16", K::Label, pic3, 690, 2265, 6300, 390, F::Normal, false, true, 0},
        {Label2, "Label2", K::Label, pic3, 690, 2580, 6300, 390, F::Normal, false, true, 0},
        {optResolved, "optResolved", K::Option, pic3, 900, 2730, 6090, 255, F::Normal, false, true, 0},
        {optFurtherProblems, "optFurtherProblems", K::Option, pic3, 900, 3015, 6090, 255, F::Normal, false, true, 0},
        {Label4, "Label4", K::Label, pic3, 690, 3570, 6300, 390, F::Normal, true, true, 0},

        {Label5, "Label5", K::Label, pic4, 240, 135, 6900, 210, F::Bold, true, true, 0},
        {lblExplanation3, "lblExplanation3", K::Label, pic4, 480, 390, 6660, 210, F::Normal, true, true, 0},
        {lvwMDACFiles, "lvwMDACFiles", K::ListView, pic4, 240, 840, 6765, 2355, F::Normal, true, true, 0},
        {Label3, "Label3", K::Label, pic4, 240, 3270, 6765, 585, F::Normal, true, true, 0},
        {lblRepairUrl, "lblRepairUrl", K::Label, pic4, 240, 3900, 1335, 195, F::Normal, true, true, 0},

        {lblHeader4, "lblHeader4", K::Label, pic5, 240, 120, 6900, 210, F::Bold, true, true, 0},
        {Label14, "Label14", K::Label, pic5, 480, 900, 6480, 3180, F::Normal, true, true, 0},
    };
    return layout;
}
