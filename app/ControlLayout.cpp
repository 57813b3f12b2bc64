// The window's design: every control with its place in twips, its font and
// its state before start-up. Positions the pages do not prescribe are chosen
// to keep headings in the white band and texts clear of each other.

#include "app/ControlLayout.h"

#include "resources/resource.h"
#include "winsupport/MessageCatalogue.h"

namespace {
constexpr ControlId kWindow = kWindowLevel;
using K = ControlKind;
using F = FontRole;
}  // namespace

const std::vector<ControlLayout>& DesignLayout() {
    static const std::vector<ControlLayout> layout = {
        // The button bar lies on the window itself. Its left part belongs to
        // the file version page, which has no room left of its own.
        {cmdWhichPrograms, "cmdWhichPrograms", K::Button, kWindow, 120, 4404, 3120, 336, F::Normal, false, true, 0,
         msg::WhichProgramsButton, kClearsHover},
        {cmdZurück, "cmdZurück", K::Button, kWindow, 3372, 4404, 1200, 336, F::Normal, true, false, 0, msg::BackButton,
         kPlain},
        {cmdWeiter, "cmdWeiter", K::Button, kWindow, 4575, 4410, 1200, 336, F::Normal, true, true, 0, msg::NextButton,
         kDefaultButton},
        {cmdAbbrechen, "cmdAbbrechen", K::Button, kWindow, 5940, 4404, 1200, 336, F::Normal, true, true, 0,
         msg::CancelButton, kPlain},
        {pic1, "pic1", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, true, true, 0, 0, kOnWhite},
        {pic2, "pic2", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, false, true, 0, 0, kClearsHover},
        {pic3, "pic3", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, false, true, 0, 0, kPlain},
        {pic4, "pic4", K::Panel, kWindow, 0, -15, 7368, 4224, F::None, false, true, 0, 0, kPlain},
        {pic5, "pic5", K::Panel, kWindow, 0, 0, 7368, 4224, F::None, false, true, 0, 0, kPlain},

        {lblWillkommen, "lblWillkommen", K::Label, pic1, 2664, 204, 4356, 696, F::Title, true, true, 0,
         msg::WelcomeTitle, kOnWhite},
        {Label10, "Label10", K::Label, pic1, 2670, 1050, 3915, 2445, F::Normal, true, true, 0, 0, kOnWhite},
        {Label11, "Label11", K::Label, pic1, 2670, 3825, 2565, 165, F::Small, true, true, 0, 0, kOnWhite},
        {imgBigPicture, "imgBigPicture", K::Picture, pic1, 0, 0, 2460, 4680, F::None, true, true, IDB_WELCOME, 0,
         kOnWhite},

        {Label19, "Label19", K::Label, pic2, 240, 120, 6900, 210, F::Bold, true, true, 0, msg::Step1Heading, kOnWhite},
        {lblHeaderExplanation1, "lblHeaderExplanation1", K::Label, pic2, 480, 375, 6660, 210, F::Normal, true, true, 0,
         msg::VersionsDetected, kOnWhite},
        {lblMDACVerHeader, "lblMDACVerHeader", K::Label, pic2, 405, 1095, 6000, 210, F::Bold, true, true, 0, 0, kPlain},
        // Created before what they overlap, and so on top of it: the link and
        // the continue hint lie over the Jet text's lower part, which stays
        // empty when they show; each text lies over the right quarter of its
        // problem icon, which the icon's picture leaves empty.
        {lblDownloadMDAC, "lblDownloadMDAC", K::Label, pic2, 780, 2115, 1335, 195, F::Normal, true, true, 0, 0, kLink},
        {lblVersionsContinue, "lblVersionsContinue", K::Label, pic2, 435, 3660, 6360, 555, F::Normal, false, true, 0, 0,
         kPlain},
        {lblMDACVerDescr, "lblMDACVerDescr", K::Label, pic2, 780, 1455, 5760, 675, F::Normal, true, true, 0, 0,
         kClearsHover},
        {imgMDACVerOK, "imgMDACVerOK", K::Icon, pic2, 435, 1440, 240, 240, F::None, true, true, IDI_STATUS_OK, 0,
         kPlain},
        {imgMDACVerProb, "imgMDACVerProb", K::Icon, pic2, 405, 1440, 480, 480, F::None, false, true, IDI_STATUS_PROBLEM,
         0, kPlain},
        {lblJetVerHeader, "lblJetVerHeader", K::Label, pic2, 420, 2505, 6000, 210, F::Bold, true, true, 0, 0, kPlain},
        {lblJetVerDescr, "lblJetVerDescr", K::Label, pic2, 780, 2835, 5760, 1335, F::Normal, true, true, 0, 0,
         kClearsHover},
        {imgJetVerOK, "imgJetVerOK", K::Icon, pic2, 450, 2835, 240, 240, F::None, true, true, IDI_STATUS_OK, 0, kPlain},
        {imgJetVerProb, "imgJetVerProb", K::Icon, pic2, 420, 2835, 480, 480, F::None, false, true, IDI_STATUS_PROBLEM,
         0, kPlain},

        {Label6, "Label6", K::Label, pic3, 240, 120, 6900, 210, F::Bold, true, true, 0, msg::Step2Heading, kOnWhite},
        {lblHeaderExplanation2, "lblHeaderExplanation2", K::Label, pic3, 480, 375, 6660, 210, F::Normal, true, true, 0,
         msg::ShouldVerifyFiles, kOnWhite},
        // Label1 is tall enough for the four lines of the text at the end of
        // the run; the icon, the arrow and the button that lie over it are
        // created (and so stacked) before it.
        {imgRepairing, "imgRepairing", K::Icon, pic3, 690, 930, 480, 480, F::None, false, true, IDI_REPAIRING, 0,
         kPlain},
        {imgDownArrow, "imgDownArrow", K::Icon, pic3, 2070, 1350, 240, 240, F::None, true, true, IDI_DOWN_ARROW, 0,
         kPlain},
        {cmdRepairMDAC, "cmdRepairMDAC", K::Button, pic3, 690, 1695, 3135, 375, F::Normal, true, true, 0,
         msg::RepairButton, kPlain},
        {Label1, "Label1", K::Label, pic3, 690, 1035, 6300, 900, F::Normal, true, true, 0, 0, kPlain},
        {ProgressBar1, "ProgressBar1", K::ProgressBar, pic3, 690, 2265, 5940, 240, F::None, false, true, 0, 0, kPlain},
        {Label16, "Label16", K::Label, pic3, 690, 2265, 6300, 390, F::Normal, false, true, 0,
         msg::ProblemsResolvedQuestion, kPlain},
        {Label2, "Label2", K::Label, pic3, 690, 2580, 6300, 390, F::Normal, false, true, 0, msg::CheckProgramWorks,
         kPlain},
        {optResolved, "optResolved", K::Option, pic3, 900, 2730, 6090, 255, F::Normal, false, true, 0,
         msg::AnswerResolved, kGroupStart},
        {optFurtherProblems, "optFurtherProblems", K::Option, pic3, 900, 3015, 6090, 255, F::Normal, false, true, 0,
         msg::AnswerStillProblems, kPlain},
        {Label4, "Label4", K::Label, pic3, 690, 3570, 6300, 390, F::Normal, true, true, 0, 0, kPlain},

        {Label5, "Label5", K::Label, pic4, 240, 135, 6900, 210, F::Bold, true, true, 0, msg::Step3Heading, kOnWhite},
        {lblExplanation3, "lblExplanation3", K::Label, pic4, 480, 390, 6660, 210, F::Normal, true, true, 0,
         msg::IdentifyOldFiles, kOnWhite},
        {lvwMDACFiles, "lvwMDACFiles", K::ListView, pic4, 240, 840, 6765, 2355, F::Normal, true, true, 0, 0, kPlain},
        {Label3, "Label3", K::Label, pic4, 240, 3270, 6765, 585, F::Normal, true, true, 0, 0, kPlain},
        {lblRepairUrl, "lblRepairUrl", K::Label, pic4, 240, 3900, 1335, 195, F::Normal, true, true, 0, 0, kLink},

        {lblHeader4, "lblHeader4", K::Label, pic5, 240, 120, 6900, 210, F::Bold, true, true, 0,
         msg::ProblemResolvedHeading, kOnWhite},
        {Label14, "Label14", K::Label, pic5, 480, 900, 6480, 3180, F::Normal, true, true, 0, msg::FarewellText, kPlain},
    };
    return layout;
}
