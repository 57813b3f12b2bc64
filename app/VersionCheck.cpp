// The version check page: the installed MDAC version from the registry, the
// Jet engine's file version, a verdict for each and the download link.

#include "app/VersionCheck.h"

#include <algorithm>
#include <string>

#include "app/MessageCatalogue.h"
#include "app/frmMain.h"
#include "winsupport/cRegistry.h"
#include "winsupport/modAPI.h"

void frmMain::CheckVersions() {
    {
        const TaggedValue emptyText{std::wstring()};
        cRegistry registry;
        registry.SetClassKey(HKEY_LOCAL_MACHINE);
        registry.SetSectionKey(L"Software\\Microsoft\\DataAccess");
        registry.SetValueType(REG_SZ);
        registry.SetValueKey(L"FullInstallVer");
        registry.SetDefault(emptyText);
        // The version text ends at its first NUL: a NUL passed on would cut
        // off every label text that shows the version, verdict and all.
        std::wstring installed = ValueToText(registry.Value());
        installed.resize(std::min(installed.find(L'\0'), installed.size()));
        MdacVersionPrefix = installed.substr(0, 4);
    }

    std::wstring text = FormatPlaceholders(LoadMessage(msg::MdacInstalled), {MdacVersionPrefix});
    if (VersionNumber(MdacVersionPrefix) >= kLatestMdacVersion) {
        SetVisible(lblDownloadMDAC, false);
        text += LoadMessage(msg::MdacIsLatest);
    } else {
        SetVisible(imgMDACVerOK, false);
        SetVisible(imgMDACVerProb, true);
        if (WindowsVersion == WindowsXP) {
            SetVisible(lblDownloadMDAC, false);
            text += LoadMessage(msg::RecommendXpSp2);
        } else {
            text += L" " + LoadMessage(msg::NewerMdacAvailable);
            LinkUrl = LoadMessage(msg::MdacDownloadUrl);
        }
    }
    SetText(lblMDACVerDescr, text);

    const std::wstring jetPath = SystemDirectory + L"\\msjet40.dll";
    text = FormatPlaceholders(LoadMessage(msg::JetInstalled), {GetFileVersionText(jetPath, false)});
    if (VersionNumber(GetFileVersionText(jetPath, true)) >= kLatestJetBuild) {
        text += L"\r" + LoadMessage(msg::JetIsLatest);
    } else {
        SetVisible(imgJetVerOK, false);
        SetVisible(imgJetVerProb, true);
        text += LoadMessage(msg::NewerJetAvailable) + LoadMessage(msg::InstallUpdateFirst);
        LinkUrl = LoadMessage(msg::MdacDownloadUrl);
        MoveTop(lblDownloadMDAC, 3860);
    }

    if (LinkUrl.empty()) {
        SetText(lblVersionsContinue, LoadMessage(msg::ClickNextToRepair));
        SetVisible(lblVersionsContinue, true);
    } else {
        SetText(lblDownloadMDAC, LinkUrl);
        SetVisible(lblDownloadMDAC, true);
        // An earlier check may have shown the hint, which lies over the link.
        SetVisible(lblVersionsContinue, false);
    }
    SetText(lblJetVerDescr, text);

    if (!IsShown(lblDownloadMDAC)) {
        // Close the gap the link would have used.
        MoveTop(lblJetVerHeader, 2405);
        MoveTop(lblJetVerDescr, 2735);
        MoveTop(imgJetVerOK, 2735);
    }
    SetText(lblMDACVerHeader, LoadMessage(msg::MdacVersionHeading));
    SetText(lblJetVerHeader, LoadMessage(msg::JetVersionHeading));
    ShowPage(pic2);
}
