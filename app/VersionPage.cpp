// The version check page: the installed MDAC version from the registry and
// the Jet engine's file version, judged and shown with the download link.

#include <string>

#include "app/VersionVerdict.h"
#include "app/frmMain.h"
#include "winsupport/MessageCatalogue.h"
#include "winsupport/modAPI.h"

void frmMain::CheckVersions() {
    MdacVersionPrefix = InstalledMdacVersion().substr(0, 4);
    const std::wstring jetPath = JetEnginePath(SystemDirectory);
    const VersionVerdict verdict = JudgeVersions(MdacVersionPrefix, GetFileVersionText(jetPath, false),
                                                 GetFileVersionText(jetPath, true), WindowsVersion);

    // A check after Back keeps what the one before changed: a problem sign
    // stays, and so does an address in LinkUrl.
    if (!verdict.mdac.upToDate) {
        controls_.SetVisible(imgMDACVerOK, false);
        controls_.SetVisible(imgMDACVerProb, true);
    }
    if (verdict.mdac.link.empty()) {
        controls_.SetVisible(lblDownloadMDAC, false);
    } else {
        LinkUrl = verdict.mdac.link;
    }
    controls_.SetText(lblMDACVerDescr, verdict.mdac.text);
    if (!verdict.jet.upToDate) {
        controls_.SetVisible(imgJetVerOK, false);
        controls_.SetVisible(imgJetVerProb, true);
        LinkUrl = verdict.jet.link;
        controls_.MoveTop(lblDownloadMDAC, 3860);
    }

    if (LinkUrl.empty()) {
        controls_.SetText(lblVersionsContinue, LoadMessage(msg::ClickNextToRepair));
        controls_.SetVisible(lblVersionsContinue, true);
    } else {
        controls_.SetText(lblDownloadMDAC, LinkUrl);
        controls_.SetVisible(lblDownloadMDAC, true);
        // An earlier check may have shown the hint, which lies over the link.
        controls_.SetVisible(lblVersionsContinue, false);
    }
    controls_.SetText(lblJetVerDescr, verdict.jet.text);

    if (!controls_.IsShown(lblDownloadMDAC)) {
        // Close the gap the link would have used.
        controls_.MoveTop(lblJetVerHeader, 2405);
        controls_.MoveTop(lblJetVerDescr, 2735);
        controls_.MoveTop(imgJetVerOK, 2735);
    }
    controls_.SetText(lblMDACVerHeader, LoadMessage(msg::MdacVersionHeading));
    controls_.SetText(lblJetVerHeader, LoadMessage(msg::JetVersionHeading));
    ShowPage(pic2);
    DescribeStatusIcon(imgMDACVerProb, !MdacVersionPrefix.empty());
    VS_FIXEDFILEINFO jetInfo{};
    DescribeStatusIcon(imgJetVerProb, ReadFixedFileInfo(jetPath, jetInfo));
}
