// The version check page: the installed MDAC version from the registry, the
// Jet engine's file version, a verdict for each and the download link.

#include "app/VersionCheck.h"

#include <charconv>
#include <string>

#include "app/MessageCatalogue.h"
#include "app/frmMain.h"
#include "winsupport/cRegistry.h"
#include "winsupport/modAPI.h"

double VersionNumber(std::wstring_view text) {
    size_t position = 0;
    while (position < text.size() && (text[position] == L' ' || text[position] == L'\t')) ++position;
    std::string number;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; position < text.size(); ++position) {
        const wchar_t c = text[position];
        if (c >= L'0' && c <= L'9') {
            seenDigit = true;
        } else if (c == L'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        number.push_back(static_cast<char>(c));
    }
    if (!seenDigit) return 0;
    // from_chars reads "." as the decimal point in every locale.
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() ? value : 0;
}

void frmMain::CheckVersions() {
    {
        const TaggedValue emptyText{std::wstring()};
        cRegistry registry;
        registry.SetClassKey(HKEY_LOCAL_MACHINE);
        registry.SetSectionKey(L"Software\\Microsoft\\DataAccess");
        registry.SetValueType(REG_SZ);
        registry.SetValueKey(L"FullInstallVer");
        registry.SetDefault(emptyText);
        MdacVersionPrefix = ValueToText(registry.Value()).substr(0, 4);
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
