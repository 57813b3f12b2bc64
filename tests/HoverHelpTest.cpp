// The link labels under a real mouse pointer, the link clicks, the window's
// tooltip object and the key check that keeps Cancel from closing the window
// too early on the repair page.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <initguid.h>  // before oleacc.h, or IID_IAccessible is no GUID
#include <oleacc.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/WizardHarness.h"
#include "ui/cTooltips.h"

namespace {

using harness::WindowText;

class HoverHelp : public ::testing::Test {
protected:
    void SetUp() override {
        // A fresh prefix has no MDAC version and no Jet engine: the download link shows.
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\DataAccess");
        harness::ClearOpenedUrls();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
    }
    HWND C(ControlId id) const { return form->Control(id); }
    void Click(ControlId id) {
        harness::ClickWithMouse(C(id));
        harness::Pump(*form, 60);
    }
    void MoveOver(ControlId id) {
        harness::MoveMouseOver(C(id));
        harness::Pump(*form, 40);
    }
    void MoveToWindowPoint(int xTwips, int yTwips) {
        harness::MoveMouseTo(form->hwnd(), form->TwipsToPixelsX(xTwips), form->TwipsToPixelsY(yTwips));
        harness::Pump(*form, 40);
    }
    bool Underlined(ControlId id) const {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(C(id), WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font.lfUnderline != 0;
    }
    // Tabs until the control has the focus; every stop on the way is a
    // control the user sees and can use.
    bool TabTo(ControlId id) {
        for (int press = 0; press < 12; ++press) {
            harness::PressKey(VK_TAB);
            harness::Pump(*form, 40);
            HWND focus = ::GetFocus();
            EXPECT_TRUE(focus != nullptr && ::IsWindowVisible(focus) && ::IsWindowEnabled(focus))
                << "Tab " << press << " reached " << static_cast<void*>(focus);
            if (focus == C(id)) return true;
        }
        return false;
    }
    // How many colours the label's top row of pixels has: one, unless the
    // focus rectangle runs along it.
    size_t TopRowColours(ControlId id) const {
        ::UpdateWindow(C(id));
        RECT client{};
        ::GetClientRect(C(id), &client);
        const WindowDC dc(C(id));
        std::set<COLORREF> colours;
        for (int x = 0; x < client.right; ++x) colours.insert(::GetPixel(dc.get(), x, 0));
        return colours.size();
    }
    std::unique_ptr<frmMain> form = std::make_unique<frmMain>();
};

TEST_F(HoverHelp, TheLinkUnderlinesUnderThePointerOnTheVersionPage) {
    Click(cmdWeiter);
    ASSERT_EQ(harness::FrontPage(*form), pic2);
    ASSERT_TRUE(::IsWindowVisible(C(lblDownloadMDAC)));
    EXPECT_FALSE(Underlined(lblDownloadMDAC));

    MoveOver(lblDownloadMDAC);
    EXPECT_TRUE(Underlined(lblDownloadMDAC));
    EXPECT_EQ(form->HoverLabel, C(lblDownloadMDAC));
    // The pointer over a link shows the hand, hot spot at the fingertip.
    CURSORINFO cursor{};
    cursor.cbSize = sizeof(cursor);
    ASSERT_TRUE(::GetCursorInfo(&cursor));
    ICONINFO hand{};
    ASSERT_TRUE(::GetIconInfo(cursor.hCursor, &hand));
    UniqueBitmap mask(hand.hbmMask), colour(hand.hbmColor);
    EXPECT_FALSE(hand.fIcon);
    EXPECT_EQ(hand.xHotspot, 5u);
    EXPECT_EQ(hand.yHotspot, 0u);

    MoveOver(lblMDACVerDescr);
    EXPECT_FALSE(Underlined(lblDownloadMDAC)) << "onto the MDAC text";
    EXPECT_EQ(form->HoverLabel, nullptr);
    MoveOver(lblDownloadMDAC);
    MoveOver(lblJetVerDescr);
    EXPECT_FALSE(Underlined(lblDownloadMDAC)) << "onto the Jet text";
    MoveOver(lblDownloadMDAC);
    MoveToWindowPoint(7000, 2300);  // the page's own background
    EXPECT_FALSE(Underlined(lblDownloadMDAC)) << "onto the page";
    MoveOver(lblDownloadMDAC);
    MoveOver(lblMDACVerHeader);
    EXPECT_TRUE(Underlined(lblDownloadMDAC)) << "other labels leave the underline alone";
    MoveToWindowPoint(1000, 4600);  // the window's own surface beside the buttons
    EXPECT_FALSE(Underlined(lblDownloadMDAC)) << "onto the button bar";
    EXPECT_FALSE(Underlined(lblMDACVerDescr));
}

TEST_F(HoverHelp, TheTooltipObjectLivesFromTheFirstIdleMomentToUnload) {
    // The welcome page does without it: it is made with the later pages.
    ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->Tooltips() != nullptr; }));
    const cTooltips* tips = form->Tooltips();
    ASSERT_NE(tips, nullptr);
    HWND tip = tips->hwnd();
    ASSERT_NE(tip, nullptr);
    wchar_t className[32] = {};
    ::GetClassNameW(tip, className, 32);
    EXPECT_STREQ(className, L"tooltips_class32");
    EXPECT_EQ(::GetWindow(tip, GW_OWNER), form->hwnd());
    EXPECT_EQ(::GetWindowLongW(tip, GWL_STYLE) & (TTS_ALWAYSTIP | TTS_BALLOON), TTS_ALWAYSTIP | TTS_BALLOON);
    EXPECT_NE(::GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(tips->Icon(), TTI_WARNING);
    EXPECT_EQ(tips->Title(), L"");
    EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0) << "no control is a tool";
    Click(cmdWeiter);
    Click(cmdWeiter);
    EXPECT_EQ(tips->Title(), L" ");
    EXPECT_EQ(tips->Icon(), TTI_WARNING);
    form->Unload();
    EXPECT_FALSE(::IsWindow(tip));
    EXPECT_EQ(form->Tooltips(), nullptr);
}

TEST_F(HoverHelp, CancelWaitsForAKeyOnTheRepairPage) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    ASSERT_EQ(form->WizardStep, 3);
    EXPECT_TRUE(form->tmrTooltipRemoveCheck.Enabled());
    EXPECT_EQ(form->tmrTooltipRemoveCheck.Interval(), 700u);
    // Within the first 700 ms nothing presses Cancel: button, Esc or close box.
    Click(cmdAbbrechen);
    ::PostMessageW(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    harness::Pump(*form, 30);
    ASSERT_TRUE(form->IsLoaded());
    EXPECT_EQ(form->WizardStep, 3);
    EXPECT_EQ(harness::FrontPage(*form), pic3);
    // After that the check polls, still waiting while nothing is down.
    harness::Pump(*form, 800);
    EXPECT_TRUE(form->tmrTooltipRemoveCheck.Enabled());
    EXPECT_EQ(form->tmrTooltipRemoveCheck.Interval(), 5u);
    ::PostMessageW(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    harness::Pump(*form, 30);
    ASSERT_TRUE(form->IsLoaded());
    // A key held down ends the check; then Cancel closes the window.
    harness::HoldKey(*form, VK_SHIFT, 60);
    EXPECT_FALSE(form->tmrTooltipRemoveCheck.Enabled());
    Click(cmdAbbrechen);
    EXPECT_FALSE(form->IsLoaded());
}

TEST_F(HoverHelp, BackAndNextStartTheCheckAgain) {
    Click(cmdWeiter);
    Click(cmdWeiter);
    harness::Pump(*form, 750);
    harness::HoldKey(*form, VK_CONTROL, 60);
    ASSERT_FALSE(form->tmrTooltipRemoveCheck.Enabled());
    Click(cmdZurück);
    EXPECT_FALSE(form->tmrTooltipRemoveCheck.Enabled()) << "Back does not start it";
    Click(cmdWeiter);
    EXPECT_TRUE(form->tmrTooltipRemoveCheck.Enabled());
    EXPECT_EQ(form->tmrTooltipRemoveCheck.Interval(), 700u);
}

// One repair run serves the file version page's link, the clicks and the
// address that each label opens.
TEST_F(HoverHelp, EachLinkOpensItsOwnAddressOncePerClick) {
    Click(cmdWeiter);
    const std::wstring download = form->LinkUrl;
    ASSERT_FALSE(download.empty());
    Click(cmdWeiter);
    Click(cmdRepairMDAC);
    ASSERT_TRUE(harness::PumpUntil(
        *form, [&] { return form->RepairDone; }, 30000));
    Click(optFurtherProblems);
    Click(cmdWeiter);
    ASSERT_EQ(form->WizardStep, 4);
    const std::string instructions(form->LinkUrl.begin(), form->LinkUrl.end());

    // On the file version page the underline survives the list; the bar takes it.
    MoveOver(lblRepairUrl);
    EXPECT_TRUE(Underlined(lblRepairUrl));
    MoveOver(lvwMDACFiles);
    EXPECT_TRUE(Underlined(lblRepairUrl)) << "over the list";
    MoveToWindowPoint(1000, 4600);
    EXPECT_FALSE(Underlined(lblRepairUrl)) << "over the button bar";

    // Two quick clicks before the opener's tick open the page once.
    MoveOver(lblRepairUrl);
    INPUT clicks[4]{};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    ::SendInput(4, clicks, sizeof(INPUT));
    harness::Pump(*form, 60);
    EXPECT_FALSE(Underlined(lblRepairUrl)) << "a click takes the underline away";
    EXPECT_EQ(form->HoverLabel, C(lblRepairUrl));
    ASSERT_TRUE(harness::PumpUntil(
        *form, [] { return !harness::OpenedUrls().empty(); }, 10000));
    harness::Pump(*form, 500);
    EXPECT_EQ(harness::OpenedUrls(), std::vector<std::string>{instructions});
    MoveToWindowPoint(1000, 4600);
    MoveOver(lblRepairUrl);
    EXPECT_TRUE(Underlined(lblRepairUrl)) << "the next move underlines again";

    // Back on the version page the download link opens the address it shows.
    harness::ClearOpenedUrls();
    Click(cmdZurück);
    Click(cmdZurück);
    ASSERT_EQ(harness::FrontPage(*form), pic2);
    EXPECT_EQ(WindowText(C(lblDownloadMDAC)), download);
    Click(lblDownloadMDAC);
    ASSERT_TRUE(harness::PumpUntil(
        *form, [] { return !harness::OpenedUrls().empty(); }, 10000));
    EXPECT_EQ(harness::OpenedUrls(), std::vector<std::string>{std::string(download.begin(), download.end())});
    EXPECT_TRUE(form->IsLoaded());
}

// The keyboard alone: Tab reaches each link in its turn and never a control
// the user cannot see; a focused link shows its frame and underline, and Enter
// and Space open what a click opens; the run keeps the focus on its bar.
TEST_F(HoverHelp, TheKeyboardReachesAndOpensEachLinkAndTheFocusIsNeverLost) {
    MoveToWindowPoint(1000, 4600);  // the pointer on the bar, away from every link
    harness::PressKey(VK_RETURN);
    harness::Pump(*form, 60);
    ASSERT_EQ(harness::FrontPage(*form), pic2) << "Enter presses Next";
    const std::string download(form->LinkUrl.begin(), form->LinkUrl.end());
    ASSERT_TRUE(TabTo(lblDownloadMDAC));
    EXPECT_TRUE(Underlined(lblDownloadMDAC));
    EXPECT_GT(TopRowColours(lblDownloadMDAC), 1u) << "the focus rectangle";
    for (WORD key : {VK_RETURN, VK_SPACE}) {
        harness::ClearOpenedUrls();
        harness::PressKey(key);
        ASSERT_TRUE(harness::PumpUntil(
            *form, [] { return !harness::OpenedUrls().empty(); }, 10000))
            << key;
        EXPECT_EQ(harness::OpenedUrls(), std::vector<std::string>{download}) << key;
        EXPECT_EQ(::GetFocus(), C(lblDownloadMDAC)) << key;
        EXPECT_TRUE(Underlined(lblDownloadMDAC)) << key;
    }
    EXPECT_EQ(form->WizardStep, 2) << "the link took Enter for itself";
    harness::PressKeyWithShift(VK_TAB);
    harness::Pump(*form, 60);
    EXPECT_NE(::GetFocus(), C(lblDownloadMDAC));
    EXPECT_FALSE(Underlined(lblDownloadMDAC));
    EXPECT_EQ(TopRowColours(lblDownloadMDAC), 1u) << "the frame goes with the focus";

    Click(cmdWeiter);
    Click(cmdRepairMDAC);
    bool lost = false;
    ASSERT_TRUE(harness::PumpUntil(
        *form,
        [&] {
            if (::IsWindowVisible(C(ProgressBar1)) && !form->RepairDone) lost = lost || ::GetFocus() != C(ProgressBar1);
            return form->RepairDone;
        },
        30000));
    EXPECT_FALSE(lost) << "the focus left the progress bar during the run";
    EXPECT_EQ(::GetFocus(), C(cmdWeiter));

    // On the file page Next is disabled: the keyboard is on the page itself.
    Click(optFurtherProblems);
    Click(cmdWeiter);
    ASSERT_EQ(harness::FrontPage(*form), pic4);
    EXPECT_TRUE(::IsChild(C(pic4), ::GetFocus()));
    const std::string instructions(form->LinkUrl.begin(), form->LinkUrl.end());
    ASSERT_TRUE(TabTo(lblRepairUrl));
    harness::ClearOpenedUrls();
    harness::PressKey(VK_RETURN);
    ASSERT_TRUE(harness::PumpUntil(
        *form, [] { return !harness::OpenedUrls().empty(); }, 10000));
    EXPECT_EQ(harness::OpenedUrls(), std::vector<std::string>{instructions});
    EXPECT_EQ(form->WizardStep, 4);

    // A screen reader's default action on the link opens it as a click does.
    IAccessible* link = nullptr;
    ASSERT_EQ(::AccessibleObjectFromWindow(C(lblRepairUrl), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                           reinterpret_cast<void**>(&link)),
              S_OK);
    harness::ClearOpenedUrls();
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    EXPECT_EQ(link->accDoDefaultAction(self), S_OK);
    link->Release();
    ASSERT_TRUE(harness::PumpUntil(
        *form, [] { return !harness::OpenedUrls().empty(); }, 10000));
    EXPECT_EQ(harness::OpenedUrls(), std::vector<std::string>{instructions});
}

}  // namespace
