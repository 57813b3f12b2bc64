#include "app/VersionVerdict.h"

#include <algorithm>

#include "winsupport/cRegistry.h"

#include "winsupport/MessageCatalogue.h"
#include "winsupport/modAPI.h"

VersionVerdict JudgeVersions(const std::wstring& mdacVersionPrefix, const std::wstring& jetVersion,
                             const std::wstring& jetBuild, int windowsVersion) {
    VersionVerdict verdict;
    ComponentVerdict& mdac = verdict.mdac;
    mdac.text = FormatPlaceholders(LoadMessage(msg::MdacInstalled), {mdacVersionPrefix});
    if (VersionNumber(mdacVersionPrefix) >= kLatestMdacVersion) {
        mdac.text += LoadMessage(msg::MdacIsLatest);
    } else {
        mdac.upToDate = false;
        if (windowsVersion == WindowsXP) {
            // XP gets MDAC with its service pack, not from the download page.
            mdac.text += LoadMessage(msg::RecommendXpSp2);
        } else {
            mdac.text += L" " + LoadMessage(msg::NewerMdacAvailable);
            mdac.link = LoadMessage(msg::MdacDownloadUrl);
        }
    }

    ComponentVerdict& jet = verdict.jet;
    jet.text = FormatPlaceholders(LoadMessage(msg::JetInstalled), {jetVersion});
    if (VersionNumber(jetBuild) >= kLatestJetBuild) {
        jet.text += L"\r" + LoadMessage(msg::JetIsLatest);
    } else {
        jet.upToDate = false;
        jet.text += LoadMessage(msg::NewerJetAvailable) + LoadMessage(msg::InstallUpdateFirst);
        jet.link = LoadMessage(msg::MdacDownloadUrl);
    }
    return verdict;
}

std::wstring JetEnginePath(const std::wstring& systemDirectory) {
    return systemDirectory + L"\\msjet40.dll";
}

std::wstring InstalledMdacVersion() {
    const TaggedValue emptyText{std::wstring()};
    cRegistry registry;
    registry.SetClassKey(HKEY_LOCAL_MACHINE);
    registry.SetSectionKey(L"Software\\Microsoft\\DataAccess");
    registry.SetValueType(REG_SZ);
    registry.SetValueKey(L"FullInstallVer");
    registry.SetDefault(emptyText);
    // The version text ends at its first NUL: a NUL passed on would cut off
    // every text that shows the version, verdict and all.
    std::wstring installed = ValueToText(registry.Value());
    installed.resize(std::min(installed.find(L'\0'), installed.size()));
    return installed;
}
