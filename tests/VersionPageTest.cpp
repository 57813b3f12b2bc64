// The version check: its verdict for every kind of input as a table, and the
// page against a real registry value and a real Jet engine file in the test
// prefix, in both languages and both kinds of Windows (the XP profile reports
// Windows XP).

#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <memory>
#include <string>

#include "app/VersionVerdict.h"
#include "tests/FixtureFiles.h"
#include "tests/VersionPageTexts.h"
#include "tests/WizardHarness.h"

namespace {

using harness::Localized;
using harness::WindowText;
using pagetext::DownloadUrl;
using pagetext::JetDescription;
using pagetext::MdacDescription;
using pagetext::MdacVerdict;

// ---- reading a number out of a version text -----------------------------------------

TEST(VersionNumber, ReadsTheLeadingDecimalNumber) {
    const std::pair<std::wstring, double> cases[] = {
        {L"2.81", 2.81},
        {L"2.80", 2.8},
        {L"2.7.", 2.7},
        {L"6.0.", 6},
        {L"8015", 8015},
        {L"", 0},
        {L"Not available", 0},
        {L"Nicht vorhanden", 0},
        {L"  2.81", 2.81},
        {L"\t4", 4},
        {L"1.2.3", 1.2},
        {L".", 0},
        {L"abc2", 0},
        {L"2,81", 2},
        {L"-2.81", 0},
        {L"0.5x", 0.5},
        {L"12a", 12},
        {L"2.81.1117.0", 2.81},
        {L"4", 4},
        {L"0", 0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(VersionNumber(text), expected) << std::string(text.begin(), text.end());
    }
    // The thresholds compare as the page needs them.
    EXPECT_GE(VersionNumber(L"2.81"), kLatestMdacVersion);
    EXPECT_LT(VersionNumber(L"2.80"), kLatestMdacVersion);
    EXPECT_LT(VersionNumber(L"2.8"), kLatestMdacVersion);
    EXPECT_GE(VersionNumber(L"6.0."), kLatestMdacVersion);
    EXPECT_GE(VersionNumber(L"8015"), kLatestJetBuild);
    EXPECT_LT(VersionNumber(L"8014"), kLatestJetBuild);
}

// Restores the C library's numeric locale when the test ends.
class NumericLocale {
public:
    explicit NumericLocale(const char* name) {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        saved_ = current != nullptr ? current : "C";
        active_ = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    NumericLocale(const NumericLocale&) = delete;
    NumericLocale& operator=(const NumericLocale&) = delete;
    ~NumericLocale() { (void)std::setlocale(LC_NUMERIC, saved_.c_str()); }
    bool Active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

TEST(VersionNumber, ReadsThePointWhateverTheLocaleSays) {
    // The program never changes its locale, but a component it loads might.
    NumericLocale german("German_Germany.1252");
    if (!german.Active()) GTEST_SKIP() << "no German locale in this C library";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(VersionNumber(L"2.81"), 2.81);
    EXPECT_EQ(VersionNumber(L"2.80"), 2.8);
    EXPECT_EQ(VersionNumber(L"2,81"), 2);
    EXPECT_GE(VersionNumber(L"2.81"), kLatestMdacVersion);
}

// ---- the page -------------------------------------------------------------------------------

const wchar_t kDataAccessKey[] = L"Software\\Microsoft\\DataAccess";

int PxY(int twips) {
    WindowDC screen(nullptr);
    return ::MulDiv(twips, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 1440);
}
int PxX(int twips) {
    WindowDC screen(nullptr);
    return ::MulDiv(twips, ::GetDeviceCaps(screen.get(), LOGPIXELSX), 1440);
}

class VersionPage : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveMdacVersion();
        fixtures::RemoveFile(JetPath());
        harness::ClearOpenedUrls();
    }
    void TearDown() override {
        form.reset();
        RemoveMdacVersion();
        fixtures::RemoveFile(JetPath());
    }
    static std::wstring JetPath() {
        wchar_t system[MAX_PATH] = {};
        ::GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\msjet40.dll";
    }
    static void RemoveMdacVersion() { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kDataAccessKey); }
    static void SetMdacVersion(const std::wstring& version) {
        HKEY key = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDataAccessKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        UniqueHkey owned(key);
        ASSERT_EQ(::RegSetValueExW(key, L"FullInstallVer", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void InstallJet(WORD major, WORD minor, WORD build, WORD revision) {
        ASSERT_TRUE(fixtures::InstallStandIn(JetPath(), major, minor, build, revision));
    }
    void Launch() {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
    }
    void Next() {
        harness::ClickWithMouse(C(cmdWeiter));
        harness::Pump(*form, 60);
    }
    HWND C(ControlId id) const { return form->Control(id); }
    int Top(ControlId id) const { return harness::RectInParent(C(id)).top; }
    bool Shown(ControlId id) const { return (::GetWindowLongW(C(id), GWL_STYLE) & WS_VISIBLE) != 0; }

    std::unique_ptr<frmMain> form;
};

// ---- the verdict ----------------------------------------------------------------------

struct VerdictCase {
    const wchar_t* prefix;
    const wchar_t* jetVersion;
    const wchar_t* jetBuild;
    int windows;
    MdacVerdict mdac;
    bool jetLatest;
};

// The thresholds from both sides, an empty or odd prefix, a missing Jet
// file, and XP, which is sent to its service pack instead of the download.
const VerdictCase kVerdicts[] = {
    {L"2.81", L"4.0.8015", L"8015", 8, MdacVerdict::Latest, true},
    {L"2.80", L"4.0.8014", L"8014", 8, MdacVerdict::Newer, false},
    {L"2.8", L"4.0.8618", L"8618", 8, MdacVerdict::Newer, true},
    {L"6.0.", L"4.0.8015", L"8015", 8, MdacVerdict::Latest, true},
    {L"", L"4.0.2927", L"2927", 8, MdacVerdict::Newer, false},
    {L"2.70", L"Not available", L"Not available", 6, MdacVerdict::XpHint, false},
    {L"2.70", L"4.0.8618", L"8618", 6, MdacVerdict::XpHint, true},
    {L"2.81", L"4.0.6218", L"6218", 6, MdacVerdict::Latest, false},
};

TEST(VersionVerdict, SaysWhatIsInstalledWhetherItIsLatestAndWhereToGetMore) {
    for (const VerdictCase& c : kVerdicts) {
        SCOPED_TRACE(testing::Message() << "MDAC \"" << c.prefix << "\", Jet build " << c.jetBuild << ", Windows "
                                        << c.windows);
        const VersionVerdict verdict = JudgeVersions(c.prefix, c.jetVersion, c.jetBuild, c.windows);
        EXPECT_EQ(verdict.mdac.text, MdacDescription(c.prefix, c.mdac));
        EXPECT_EQ(verdict.mdac.upToDate, c.mdac == MdacVerdict::Latest);
        EXPECT_EQ(verdict.mdac.link, c.mdac == MdacVerdict::Newer ? DownloadUrl() : std::wstring());
        EXPECT_EQ(verdict.jet.text, JetDescription(c.jetVersion, c.jetLatest));
        EXPECT_EQ(verdict.jet.upToDate, c.jetLatest);
        EXPECT_EQ(verdict.jet.link, c.jetLatest ? std::wstring() : DownloadUrl());
    }
}

// ---- the page -----------------------------------------------------------------------

struct Outcome {
    const wchar_t* registryValue;  // nullptr: no value at all
    WORD jet[4];                   // all 0: no msjet40.dll
    const wchar_t* prefix;
    const wchar_t* jetVersion;  // nullptr: "Not available"
    bool mdacLatest;
    bool jetLatest;
};

// What the page reads and how it lays out each combination of verdicts.
const Outcome kOutcomes[] = {
    {L"2.81.1117.0", {4, 0, 8618, 0}, L"2.81", L"4.0.8618", true, true},
    {L"2.81.1117.0", {4, 0, 6218, 0}, L"2.81", L"4.0.6218", true, false},
    {L"2.80.1022.0", {4, 0, 8015, 0}, L"2.80", L"4.0.8015", false, true},
    {L"2.80.1022.0", {0, 0, 0, 0}, L"2.80", nullptr, false, false},
    {nullptr, {4, 0, 2927, 4}, L"", L"4.0.2927", false, false},
};

TEST_F(VersionPage, EveryOutcomeShowsItsTextsIconsAndLink) {
    const bool xp = harness::Profile() == "xp";
    for (const Outcome& o : kOutcomes) {
        SCOPED_TRACE(testing::Message() << "MDAC "
                                        << (o.registryValue ? std::wstring(o.registryValue) : L"(none)").c_str()
                                        << ", Jet build " << o.jet[2]);
        RemoveMdacVersion();
        fixtures::RemoveFile(JetPath());
        if (o.registryValue != nullptr) SetMdacVersion(o.registryValue);
        if (o.jet[0] != 0) InstallJet(o.jet[0], o.jet[1], o.jet[2], o.jet[3]);
        Launch();
        Next();

        EXPECT_EQ(harness::FrontPage(*form), pic2);
        EXPECT_EQ(form->WizardStep, 2);
        EXPECT_EQ(form->MdacVersionPrefix, o.prefix);

        const MdacVerdict verdict =
            o.mdacLatest ? MdacVerdict::Latest : (xp ? MdacVerdict::XpHint : MdacVerdict::Newer);
        EXPECT_EQ(WindowText(C(lblMDACVerDescr)), MdacDescription(o.prefix, verdict));

        const std::wstring version = o.jetVersion ? o.jetVersion : Localized(L"Not available", L"Nicht vorhanden");
        const std::wstring jet = JetDescription(version, o.jetLatest);
        EXPECT_EQ(WindowText(C(lblJetVerDescr)), jet);

        EXPECT_EQ(Shown(imgMDACVerOK), o.mdacLatest);
        EXPECT_EQ(Shown(imgMDACVerProb), !o.mdacLatest);
        EXPECT_EQ(Shown(imgJetVerOK), o.jetLatest);
        EXPECT_EQ(Shown(imgJetVerProb), !o.jetLatest);

        const bool linkShown = !o.jetLatest || (!o.mdacLatest && !xp);
        EXPECT_EQ(Shown(lblDownloadMDAC), linkShown);
        EXPECT_EQ(Shown(lblVersionsContinue), !linkShown);
        if (linkShown) {
            EXPECT_EQ(WindowText(C(lblDownloadMDAC)), DownloadUrl());
            EXPECT_EQ(form->LinkUrl, DownloadUrl());
            EXPECT_EQ(Top(lblDownloadMDAC), PxY(o.jetLatest ? 2115 : 3860));
            EXPECT_EQ(harness::RectInParent(C(lblDownloadMDAC)).left, PxX(780));
        } else {
            EXPECT_EQ(WindowText(C(lblVersionsContinue)), pagetext::ContinueHint());
            EXPECT_TRUE(form->LinkUrl.empty());
        }
        // Without the link the Jet block moves up by 100 twips; its warning icon stays.
        EXPECT_EQ(Top(lblJetVerHeader), PxY(linkShown ? 2505 : 2405));
        EXPECT_EQ(Top(lblJetVerDescr), PxY(linkShown ? 2835 : 2735));
        EXPECT_EQ(Top(imgJetVerOK), PxY(linkShown ? 2835 : 2735));
        EXPECT_EQ(Top(imgJetVerProb), PxY(2835));

        EXPECT_EQ(WindowText(C(lblMDACVerHeader)), Localized(L"Installed MDAC Version", L"Installierte MDAC-Version"));
        EXPECT_EQ(WindowText(C(lblJetVerHeader)),
                  Localized(L"Installed Microsoft Jet Version", L"Installierte Microsoft Jet-Version"));
        form.reset();
    }
}

TEST_F(VersionPage, ARunAfterBackKeepsWhatTheEarlierRunChanged) {
    SetMdacVersion(L"2.81.1117.0");
    InstallJet(4, 0, 8618, 0);
    Launch();
    Next();
    ASSERT_TRUE(Shown(lblVersionsContinue));

    // Both are due for an update now: the link takes the hint's place.
    SetMdacVersion(L"2.70.9001.0");
    InstallJet(4, 0, 6218, 0);
    harness::ClickWithMouse(C(cmdZurück));
    harness::Pump(*form, 60);
    Next();
    ASSERT_EQ(form->LinkUrl, DownloadUrl());
    EXPECT_TRUE(Shown(lblDownloadMDAC));
    EXPECT_FALSE(Shown(lblVersionsContinue));

    // Both are up to date now; the earlier verdicts' icons and the moved link stay.
    SetMdacVersion(L"2.81.1117.0");
    InstallJet(4, 0, 8618, 0);
    harness::ClickWithMouse(C(cmdZurück));
    harness::Pump(*form, 60);
    Next();
    EXPECT_EQ(WindowText(C(lblMDACVerDescr)), MdacDescription(L"2.81", MdacVerdict::Latest));
    EXPECT_EQ(WindowText(C(lblJetVerDescr)), JetDescription(L"4.0.8618", true));
    EXPECT_FALSE(Shown(imgMDACVerOK));
    EXPECT_TRUE(Shown(imgMDACVerProb));
    EXPECT_FALSE(Shown(imgJetVerOK));
    EXPECT_TRUE(Shown(imgJetVerProb));
    // LinkUrl keeps its address, so the link shows it and the hint stays hidden.
    EXPECT_TRUE(Shown(lblDownloadMDAC));
    EXPECT_EQ(WindowText(C(lblDownloadMDAC)), DownloadUrl());
    EXPECT_EQ(Top(lblDownloadMDAC), PxY(3860));
    EXPECT_FALSE(Shown(lblVersionsContinue));
}

TEST_F(VersionPage, TheRepairInstructionsAddressStaysTheLinkAfterwards) {
    SetMdacVersion(L"2.81.1117.0");
    InstallJet(4, 0, 8618, 0);
    Launch();
    Next();
    EXPECT_TRUE(Shown(lblVersionsContinue));
    Next();
    harness::ClickWithMouse(C(cmdRepairMDAC));
    ASSERT_TRUE(harness::PumpUntil(
        *form, [&] { return form->RepairDone; }, 30000));
    harness::ClickWithMouse(C(optFurtherProblems));
    harness::Pump(*form, 60);
    Next();
    ASSERT_EQ(form->WizardStep, 4);
    const std::wstring instructions = form->LinkUrl;
    EXPECT_EQ(WindowText(C(Label3)).find(L"2.81"), Localized(L"Please check if all listed files have the version ",
                                                             L"Bitte vergleichen Sie, ob alle Dateien die Version ")
                                                       .size());
    for (int i = 0; i < 3; ++i) {
        harness::ClickWithMouse(C(cmdZurück));
        harness::Pump(*form, 60);
    }
    ASSERT_EQ(form->WizardStep, 1);
    Next();
    EXPECT_EQ(form->LinkUrl, instructions);
    EXPECT_TRUE(Shown(lblDownloadMDAC));
    EXPECT_FALSE(Shown(lblVersionsContinue));
    EXPECT_EQ(WindowText(C(lblDownloadMDAC)), instructions);
    EXPECT_EQ(Top(lblDownloadMDAC), PxY(2115));
}

}  // namespace
