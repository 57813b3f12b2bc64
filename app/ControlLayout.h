#pragma once
// The window's design: every control with its id, place, font, start-up
// state and the traits that set it apart.

#include <windows.h>

#include <vector>

// Child control ids. Cancel is IDCANCEL so that Esc reaches it through the
// dialog manager; the order is the creation order (and so the z-order).
enum ControlId : int {
    cmdAbbrechen = IDCANCEL,
    FirstControlId = 1000,
    cmdZurück = FirstControlId,
    cmdWeiter,
    pic1,
    pic2,
    pic3,
    pic4,
    pic5,
    // welcome page
    lblWillkommen,
    Label10,
    Label11,
    imgBigPicture,
    // version check page
    Label19,
    lblHeaderExplanation1,
    lblMDACVerHeader,
    lblDownloadMDAC,
    lblVersionsContinue,
    lblMDACVerDescr,
    imgMDACVerOK,
    imgMDACVerProb,
    lblJetVerHeader,
    lblJetVerDescr,
    imgJetVerOK,
    imgJetVerProb,
    // repair page
    Label6,
    lblHeaderExplanation2,
    imgRepairing,
    imgDownArrow,
    cmdRepairMDAC,
    Label1,
    ProgressBar1,
    Label16,
    Label2,
    optResolved,
    optFurtherProblems,
    Label4,
    // file version page
    Label5,
    lblExplanation3,
    lvwMDACFiles,
    Label3,
    lblRepairUrl,
    // on the button bar while the file version page is in front
    cmdWhichPrograms,
    // final page
    lblHeader4,
    Label14,
    EndOfControlIds
};

enum class ControlKind { Panel, Button, Label, Option, Icon, Picture, ProgressBar, ListView };
enum class FontRole { None, Normal, Bold, Title, Small };

// What sets a control apart from the others of its kind.
enum ControlTrait : unsigned {
    kPlain = 0,
    kLink = 1,           // blue, hand cursor, underlined under the mouse, as wide as its text
    kClearsHover = 2,    // a mouse move over it takes a link's underline away
    kOnWhite = 4,        // drawn on white; a page panel with it is white all over
    kDefaultButton = 8,  // the push button Enter presses when no other has the focus
    kGroupStart = 16,    // the first option of a group
};

// One control as laid out at design time, in twips relative to its parent.
struct ControlLayout {
    ControlId id;
    const char* name;
    ControlKind kind;
    ControlId parent;  // 0: the window itself
    int left, top, width, height;
    FontRole font;
    bool visible;
    bool enabled;
    int image;    // resource id of an icon or bitmap, 0 if none
    int caption;  // message id of its start-up text, 0 if none or composed
    unsigned traits;
};

inline constexpr ControlId kWindowLevel = static_cast<ControlId>(0);

const std::vector<ControlLayout>& DesignLayout();
