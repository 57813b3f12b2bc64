// The main window as the user first sees it: geometry, texts, fonts, state,
// pixels, closing, and the program process itself.

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/WizardHarness.h"
#include "ui/Palette.h"

namespace {

using harness::Localized;
using harness::WindowText;

int ScreenDpiX() {
    WindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.get(), LOGPIXELSX);
}
int ScreenDpiY() {
    WindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.get(), LOGPIXELSY);
}
int PxX(int twips) {
    return ::MulDiv(twips, ScreenDpiX(), 1440);
}
int PxY(int twips) {
    return ::MulDiv(twips, ScreenDpiY(), 1440);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 50);
    }
    HWND C(ControlId id) const { return form->Control(id); }
    LOGFONTW FontOf(ControlId id) const {
        LOGFONTW font{};
        auto handle = reinterpret_cast<HFONT>(::SendMessageW(C(id), WM_GETFONT, 0, 0));
        ::GetObjectW(handle, sizeof(font), &font);
        return font;
    }
    std::unique_ptr<frmMain> form = std::make_unique<frmMain>();
};

TEST_F(MainWindow, FixedSizeClientAreaCentredOnTheScreen) {
    RECT client{};
    ::GetClientRect(form->hwnd(), &client);
    EXPECT_EQ(client.right, PxX(7320));
    EXPECT_EQ(client.bottom, PxY(4860));
    const LONG style = ::GetWindowLongW(form->hwnd(), GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0) << "the window must not be resizable";
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_SYSMENU, 0) << "close box";
    RECT frame{};
    ::GetWindowRect(form->hwnd(), &frame);
    const int centredLeft = (::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2;
    const int centredTop = (::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2;
    EXPECT_LE(std::abs(frame.left - centredLeft), 1) << frame.left << " vs " << centredLeft;
    EXPECT_LE(std::abs(frame.top - centredTop), 1) << frame.top << " vs " << centredTop;
    EXPECT_TRUE(::IsWindowVisible(form->hwnd()));
}

TEST_F(MainWindow, StartupTextsInTheInterfaceLanguage) {
    struct Case {
        ControlId id;
        std::wstring english, german;
    };
    const Case cases[] = {
        {lblWillkommen, L"Welcome to the Velmorant\nQuillbrook Tool",
         L"Willkommen beim Velmorant MDAC-Reparaturprogramm"},
        {cmdAbbrechen, L"Cancel", L"Abbrechen"},
        {cmdWeiter, L"Next >", L"Weiter >"},
        {cmdZurück, L"< Back", L"< Zur\u00fcck"},
        {Label10,
         L"This program helps you analyze and repair the Microsoft Data Access Components (MDAC) on your "
         L"computer.\r\r\r\rTo continue, click Next.",
         L"Mit Hilfe dieses Programms k\u00f6nnen Sie die auf Ihrem Computer installierten Microsoft "
         L"Datenzugriffskomponenten (MDAC) analysieren und ggf. reparieren.\r\r\r\rUm fortzufahren, klicken Sie auf "
         L"\"Weiter\"."},
        {Label19, L"Step 1: MDAC Version and Update Check", L"Schritt 1: MDAC-Versions- und Updatepr\u00fcfung"},
        {lblHeaderExplanation1, L"The MDAC and JET versions installed on your computer have been detected.",
         L"Die aktuell installierten MDAC- und JET-Versionen wurden ermittelt."},
        {Label6, L"Step 2: Verify and Repair MDAC Files",
         L"Schritt 2: MDAC-Dateien \u00fcberpr\u00fcfen und ggf. reparieren"},
        {lblHeaderExplanation2, L"The MDAC files should be verified so that they can be repaired if necessary.",
         L"Die MDAC-Dateien sollten \u00fcberpr\u00fcft werden, um sie ggf. zu reparieren."},
        {Label1, L"Click Verify and Repair MDAC Files.", L"Klicken Sie auf 'MDAC-Dateien pr\u00fcfen und reparieren'."},
        {cmdRepairMDAC, L"Verify and Repair MDAC Files", L"MDAC-Dateien pr\u00fcfen und reparieren"},
        {Label2, L"Please check whether your problematic program seems to work correctly now.",
         L"Pr\u00fcfen Sie nun, ob Ihre Anwendung jetzt funktioniert."},
        {Label16, L"Have your MDAC problems been resolved, or do still error messages appear, for example?",
         L"Sind Ihre MDAC-Probleme gel\u00f6st, oder werden z.B. weiterhin Fehlermeldungen ausgegeben?"},
        {optResolved, L"Yes, the MDAC problems seem to be resolved",
         L"Ja, die MDAC-Probleme scheinen gel\u00f6st zu sein"},
        {optFurtherProblems, L"No, the MDAC problems still exist", L"Nein, die MDAC-Probleme bestehen weiterhin"},
        {Label5, L"Step 3: Check and Compare MDAC File Versions",
         L"Schritt 3: Versionsangaben der MDAC-Dateien pr\u00fcfen"},
        {lblExplanation3, L"Identifying old MDAC files that don't have the latest version",
         L"Erkennen von \u00e4lteren MDAC-Dateien, die in der falschen Version vorhanden sind."},
        {lblHeader4, L"Problem Resolved?", L"Problem behoben?"},
        {Label11, L"\u00a9 Velmorant Software GmbH", L"\u00a9 Velmorant Software GmbH"},
    };
    EXPECT_EQ(WindowText(form->hwnd()),
              Localized(L"MDAC Analysis and Repair Program", L"MDAC-Analyse und Reparaturprogramm"));
    for (const Case& c : cases) {
        EXPECT_EQ(WindowText(C(c.id)), Localized(c.english, c.german)) << "control " << c.id;
    }
    for (ControlId id : {Label4, Label3, lblRepairUrl}) EXPECT_TRUE(WindowText(C(id)).empty()) << "control " << id;
    const std::wstring farewell = WindowText(C(Label14));
    EXPECT_EQ(farewell.rfind(Localized(L"Dear User,\n\nThis software", L"Lieber Nutzer,\n\nwir hoffen"), 0), 0u);
}

TEST_F(MainWindow, DesignTimeStateOfThePages) {
    for (ControlId panel : {pic1, pic2, pic3, pic4, pic5}) {
        EXPECT_EQ(::IsWindowVisible(C(panel)) != FALSE, panel == pic1) << "only the page in front is visible";
    }
    EXPECT_EQ(harness::FrontPage(*form), pic1);
    // Each control's own flag, kept while its page is hidden.
    const auto ownFlag = [&](ControlId id) { return (::GetWindowLongW(C(id), GWL_STYLE) & WS_VISIBLE) != 0; };
    const ControlId shown[] = {imgMDACVerOK,   imgJetVerOK,   lblDownloadMDAC, lblMDACVerDescr,
                               lblJetVerDescr, cmdRepairMDAC, imgDownArrow,    Label1,
                               Label4,         lvwMDACFiles,  Label14};
    for (ControlId id : shown) EXPECT_TRUE(ownFlag(id)) << "control " << id;
    const ControlId hidden[] = {imgMDACVerProb, imgJetVerProb, lblVersionsContinue, imgRepairing,      ProgressBar1,
                                Label2,         Label16,       optResolved,         optFurtherProblems};
    for (ControlId id : hidden) EXPECT_FALSE(ownFlag(id)) << "control " << id;
    EXPECT_EQ(::SendMessageW(C(optResolved), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(C(optFurtherProblems), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(::IsWindowEnabled(C(cmdZurück)));
    EXPECT_TRUE(::IsWindowEnabled(C(cmdWeiter)));
    EXPECT_TRUE(::IsWindowEnabled(C(cmdAbbrechen)));
    EXPECT_EQ(::GetFocus(), C(cmdWeiter));
}

TEST_F(MainWindow, MembersAfterStartUp) {
    EXPECT_EQ(form->WizardStep, 1);
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(form->SystemDirectory, system);
    EXPECT_NE(form->SystemDirectory.back(), L'\\');
    EXPECT_EQ(form->WindowsVersion, harness::Profile() == "xp" ? 6 : 8);
    EXPECT_EQ(form->SmallFonts, ScreenDpiX() < 100);
    EXPECT_TRUE(form->LinkUrl.empty());
    EXPECT_TRUE(form->MdacVersionPrefix.empty());
    EXPECT_FALSE(form->RepairDone);
    EXPECT_FALSE(form->ShellExecuteTimer.Enabled());
    EXPECT_EQ(form->ShellExecuteTimer.Interval(), 4u);
    EXPECT_FALSE(form->tmrTooltipRemoveCheck.Enabled());
    EXPECT_EQ(form->tmrTooltipRemoveCheck.Interval(), 5u);
}

TEST_F(MainWindow, ButtonBarPlacesDefaultAndCancelButtons) {
    struct Case {
        ControlId id;
        int left, top;
    };
    for (const Case& c : {Case{cmdZurück, 3372, 4404}, Case{cmdWeiter, 4575, 4410}, Case{cmdAbbrechen, 5940, 4404}}) {
        const RECT rect = harness::RectInParent(C(c.id));
        EXPECT_EQ(::GetParent(C(c.id)), form->hwnd());
        EXPECT_EQ(rect.left, PxX(c.left)) << "control " << c.id;
        EXPECT_EQ(rect.top, PxY(c.top)) << "control " << c.id;
        EXPECT_EQ(rect.right - rect.left, PxX(1200));
        EXPECT_EQ(rect.bottom - rect.top, PxY(336));
    }
    EXPECT_EQ(::GetWindowLongW(C(cmdWeiter), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(::GetDlgCtrlID(C(cmdAbbrechen)), IDCANCEL);
    // The file version page's button on the bar's left: clear of Back, hidden
    // until that page, its caption uncut at every resolution and in both languages.
    const HWND which = C(cmdWhichPrograms);
    const RECT whichRect = harness::RectInParent(which);
    EXPECT_LT(whichRect.right, harness::RectInParent(C(cmdZurück)).left);
    EXPECT_EQ(whichRect.top, PxY(4404));
    EXPECT_FALSE(::IsWindowVisible(which));
    EXPECT_EQ(WindowText(which), Localized(L"Which programs can use what...", L"Welche Programme was nutzen..."));
    {
        WindowDC dc(which);
        SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(which, WM_GETFONT, 0, 0)));
        const std::wstring text = WindowText(which);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
        EXPECT_LE(extent.cx + 2 * PxX(120), whichRect.right - whichRect.left) << "room for the caption";
    }
    // Tab order Back, Next, Cancel (Back is skipped while disabled).
    ::EnableWindow(C(cmdZurück), TRUE);
    EXPECT_EQ(::GetNextDlgTabItem(form->hwnd(), C(cmdZurück), FALSE), C(cmdWeiter));
    EXPECT_EQ(::GetNextDlgTabItem(form->hwnd(), C(cmdWeiter), FALSE), C(cmdAbbrechen));
}

TEST_F(MainWindow, PagesAndPrescribedControlPlaces) {
    for (ControlId panel : {pic1, pic2, pic3, pic5}) {
        const RECT rect = harness::RectInParent(C(panel));
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, PxX(7368));
        EXPECT_EQ(rect.bottom, PxY(4224));
    }
    EXPECT_EQ(harness::RectInParent(C(pic4)).top, PxY(-15));
    struct Case {
        ControlId id, panel;
        int left, top, width, height;
    };
    const Case cases[] = {
        {lblWillkommen, pic1, 2664, 204, 4356, 696},   {Label10, pic1, 2670, 1050, 3915, 2445},
        {Label11, pic1, 2670, 3825, 2565, 165},        {cmdRepairMDAC, pic3, 690, 1695, 3135, 375},
        {imgDownArrow, pic3, 2070, 1350, 240, 240},    {imgMDACVerOK, pic2, 435, 1440, 240, 240},
        {imgMDACVerProb, pic2, 405, 1440, 480, 480},   {lblMDACVerDescr, pic2, 780, 1455, 5760, 675},
        {imgJetVerOK, pic2, 450, 2835, 240, 240},      {imgJetVerProb, pic2, 420, 2835, 480, 480},
        {lblJetVerDescr, pic2, 780, 2835, 5760, 1335}, {lblVersionsContinue, pic2, 435, 3660, 6360, 555},
        {lvwMDACFiles, pic4, -1, -1, 6765, 2355},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(::GetParent(C(c.id)), C(c.panel)) << "control " << c.id;
        const RECT rect = harness::RectInParent(C(c.id));
        if (c.left >= 0) {
            EXPECT_EQ(rect.left, PxX(c.left)) << "control " << c.id;
        }
        if (c.top >= 0) {
            EXPECT_EQ(rect.top, PxY(c.top)) << "control " << c.id;
        }
        EXPECT_EQ(rect.right - rect.left, PxX(c.width)) << "control " << c.id;
        EXPECT_EQ(rect.bottom - rect.top, PxY(c.height)) << "control " << c.id;
    }
    const RECT link = harness::RectInParent(C(lblDownloadMDAC));
    EXPECT_EQ(link.left, PxX(780));
    EXPECT_EQ(link.top, PxY(2115));
}

// Up to 120 dpi the pictures and icons keep the sizes they are drawn at
// (and the welcome picture moves 400 twips left below 100 dpi); from 144 dpi
// on each fills its frame, and the file list's images are the system's small
// icons. Run at 96, 120, 144, 168 and 192 dpi.
TEST_F(MainWindow, PicturesAndIconsFitTheirFramesAtTheScreensDpi) {
    const bool drawnSizes = ScreenDpiY() <= 120;
    const auto imageSize = [](HANDLE image, bool icon) {
        SIZE size{0, 0};
        BITMAP bitmap{};
        if (icon) {
            ICONINFO info{};
            if (!::GetIconInfo(static_cast<HICON>(image), &info)) return size;
            const UniqueBitmap colour(info.hbmColor);
            const UniqueBitmap mask(info.hbmMask);
            if (::GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap) == 0) return size;
            return SIZE{bitmap.bmWidth, info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2};
        }
        if (::GetObjectW(image, sizeof(bitmap), &bitmap) == 0) return size;
        return SIZE{bitmap.bmWidth, bitmap.bmHeight};
    };
    struct Frame {
        ControlId id;
        int widthTwips, heightTwips, drawnWidth, drawnHeight;
    };
    const Frame frames[] = {
        {imgBigPicture, 2460, 4680, 164, 312}, {imgMDACVerOK, 240, 240, 16, 16},  {imgMDACVerProb, 480, 480, 32, 32},
        {imgJetVerOK, 240, 240, 16, 16},       {imgJetVerProb, 480, 480, 32, 32}, {imgRepairing, 480, 480, 32, 32},
        {imgDownArrow, 240, 240, 16, 16},
    };
    for (const Frame& frame : frames) {
        SCOPED_TRACE("control " + std::to_string(frame.id));
        const bool icon = frame.id != imgBigPicture;
        const HANDLE image =
            reinterpret_cast<HANDLE>(::SendMessageW(C(frame.id), STM_GETIMAGE, icon ? IMAGE_ICON : IMAGE_BITMAP, 0));
        ASSERT_NE(image, nullptr);
        const SIZE size = imageSize(image, icon);
        if (drawnSizes) {
            EXPECT_EQ(size.cx, frame.drawnWidth);
            EXPECT_EQ(size.cy, frame.drawnHeight);
        } else {
            EXPECT_NEAR(size.cx, PxX(frame.widthTwips), 1);
            EXPECT_NEAR(size.cy, icon ? PxX(frame.widthTwips) : PxY(frame.heightTwips), 1);
        }
    }
    const RECT picture = harness::RectInParent(C(imgBigPicture));
    EXPECT_EQ(picture.left, ScreenDpiX() < 100 ? PxX(-400) : 0);
    EXPECT_EQ(picture.top, 0);

    int listWidth = 0;
    int listHeight = 0;
    const auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(C(lvwMDACFiles), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_TRUE(::ImageList_GetIconSize(images, &listWidth, &listHeight));
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    const auto forDpi = reinterpret_cast<MetricsForDpi>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    const int smallIcon =
        forDpi != nullptr ? forDpi(SM_CXSMICON, static_cast<UINT>(ScreenDpiX())) : ::GetSystemMetrics(SM_CXSMICON);
    EXPECT_EQ(listWidth, drawnSizes ? 16 : smallIcon);
    EXPECT_EQ(listHeight, listWidth);
}

// What a user sees of the window, for comparing before and after a change of
// resolution: each made control's place, state, text and font height, the
// file list's rows, the focus and the page in front.
struct Seen {
    std::vector<RECT> places;
    std::wstring states;
    std::vector<std::wstring> rows;
    HWND focus = nullptr;
    ControlId front = kWindowLevel;
};

Seen WhatIsSeen(frmMain& form) {
    Seen seen;
    for (const ControlLayout& layout : DesignLayout()) {
        const HWND control = form.Control(layout.id);
        seen.places.push_back(control != nullptr ? harness::RectInParent(control) : RECT{});
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        seen.states += std::to_wstring(layout.id) + (::IsWindowVisible(control) ? L" v" : L" -") +
                       (::IsWindowEnabled(control) ? L"e " : L"- ") + std::to_wstring(font.lfHeight) + L" " +
                       WindowText(control) + L"\n";
    }
    const HWND list = form.Control(lvwMDACFiles);
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int item = 0; item < count; ++item) {
        wchar_t text[MAX_PATH] = {};
        LVITEMW row{};
        row.iSubItem = 1;
        row.pszText = text;
        row.cchTextMax = MAX_PATH;
        ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&row));
        seen.rows.emplace_back(text);
    }
    seen.focus = ::GetFocus();
    seen.front = harness::FrontPage(form);
    return seen;
}

void ChangeResolution(frmMain& form, int dpi, RECT suggested) {
    constexpr UINT kDpiChanged = 0x02E0;
    ::SendMessageW(form.hwnd(), kDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    harness::Pump(form, 50);
}

// Moved to a 200 % monitor and back: every made control laid out for 192 dpi
// from where it stands (the version check moved some, link labels fit their
// texts), fonts and images made anew, and nothing else changed; back at the
// start, everything is as it was.
TEST_F(MainWindow, MovesToAnotherResolutionAndBackKeepingWhatTheWizardChanged) {
    if (ScreenDpiY() != 96) GTEST_SKIP() << "starts at 96 dpi";
    for (int step = 0; step < 2; ++step) {
        harness::ClickWithMouse(C(cmdWeiter));
        harness::Pump(*form, 60);
    }
    ASSERT_EQ(form->WizardStep, 3);
    form->OnFileListColumnClick(1);                                              // sorted by version
    for (ControlId made : {lblRepairUrl, Label14}) ASSERT_NE(C(made), nullptr);  // every page made
    const Seen before = WhatIsSeen(*form);
    RECT frame{};
    ::GetWindowRect(form->hwnd(), &frame);

    const RECT wide{frame.left, frame.top, frame.left + 2 * (frame.right - frame.left),
                    frame.top + 2 * (frame.bottom - frame.top)};
    ChangeResolution(*form, 192, wide);
    RECT now{};
    ::GetWindowRect(form->hwnd(), &now);
    EXPECT_TRUE(::EqualRect(&now, &wide));
    const Seen doubled = WhatIsSeen(*form);
    const auto at192 = [](int twips) { return ::MulDiv(twips, 192, 1440); };
    size_t index = 0;
    for (const ControlLayout& layout : DesignLayout()) {
        SCOPED_TRACE(layout.name);
        const RECT& was = before.places[index];
        const RECT& is = doubled.places[index++];
        // Where the table put it, or where the wizard moved it: twice as far.
        const bool moved = was.left != PxX(layout.left) || was.top != PxY(layout.top);
        EXPECT_NEAR(is.left, moved ? 2 * was.left : at192(layout.left), moved ? 2 : 0);
        EXPECT_NEAR(is.top, moved ? 2 * was.top : at192(layout.top), moved ? 2 : 0);
        if ((layout.traits & kLink) != 0 && !WindowText(C(layout.id)).empty()) {
            // As wide as its text in the new font, which does not grow in proportion.
            const HWND link = C(layout.id);
            const std::wstring text = WindowText(link);
            WindowDC dc(link);
            SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(link, WM_GETFONT, 0, 0)));
            SIZE extent{};
            ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
            EXPECT_GE(is.right - is.left, extent.cx);
            EXPECT_LE(is.right - is.left, extent.cx + 8);
        } else if (layout.kind != ControlKind::Picture) {
            EXPECT_EQ(is.right - is.left, at192(layout.width));
            EXPECT_EQ(is.bottom - is.top, at192(layout.height));
        } else {
            EXPECT_EQ(is.right - is.left, at192(layout.width));  // the picture drawn for its frame
        }
    }
    EXPECT_EQ(FontOf(Label10).lfHeight, -::MulDiv(825, 192, 7200));
    EXPECT_EQ(FontOf(lblWillkommen).lfHeight, -::MulDiv(1200, 192, 7200));
    int imageWidth = 0;
    int imageHeight = 0;
    ::ImageList_GetIconSize(
        reinterpret_cast<HIMAGELIST>(::SendMessageW(C(lvwMDACFiles), LVM_GETIMAGELIST, LVSIL_SMALL, 0)), &imageWidth,
        &imageHeight);
    EXPECT_EQ(imageWidth, 32);
    EXPECT_EQ(doubled.rows, before.rows);
    EXPECT_EQ(doubled.focus, before.focus);
    EXPECT_EQ(doubled.front, before.front);

    ChangeResolution(*form, 96, frame);
    const Seen back = WhatIsSeen(*form);
    index = 0;
    for (const ControlLayout& layout : DesignLayout()) {
        const RECT& was = before.places[index];
        const RECT& is = back.places[index++];
        EXPECT_TRUE(::EqualRect(&is, &was)) << layout.name;
    }
    EXPECT_EQ(back.states, before.states);
    EXPECT_EQ(back.rows, before.rows);
    EXPECT_EQ(back.focus, before.focus);
    EXPECT_EQ(back.front, before.front);
    ::ImageList_GetIconSize(
        reinterpret_cast<HIMAGELIST>(::SendMessageW(C(lvwMDACFiles), LVM_GETIMAGELIST, LVSIL_SMALL, 0)), &imageWidth,
        &imageHeight);
    EXPECT_EQ(imageWidth, 16);
}

TEST_F(MainWindow, FontsAfterStartUp) {
    for (ControlId id : {Label10, cmdWeiter, cmdRepairMDAC, optResolved, lvwMDACFiles, lblDownloadMDAC, Label19}) {
        EXPECT_STREQ(FontOf(id).lfFaceName, L"Tahoma") << "control " << id;
    }
    const LOGFONTW title = FontOf(lblWillkommen);
    EXPECT_STREQ(title.lfFaceName, L"Arial");
    EXPECT_GE(title.lfWeight, FW_BOLD);
    EXPECT_EQ(title.lfHeight, -::MulDiv(1200, ScreenDpiY(), 7200));
    EXPECT_EQ(FontOf(Label10).lfHeight, -::MulDiv(825, ScreenDpiY(), 7200));
    EXPECT_EQ(FontOf(Label11).lfHeight, -::MulDiv(675, ScreenDpiY(), 7200));
    for (ControlId heading : {Label19, Label6, Label5, lblHeader4}) EXPECT_GE(FontOf(heading).lfWeight, FW_BOLD);
    EXPECT_FALSE(FontOf(lblDownloadMDAC).lfUnderline);
}

TEST_F(MainWindow, FileListIsAReportWithFullRowSelectAndLabelTips) {
    HWND list = C(lvwMDACFiles);
    EXPECT_EQ(::GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    const auto extended = ::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ(extended & 0x4020, 0x4020);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
}

TEST_F(MainWindow, WhatTheScreenShows) {
    ::RedrawWindow(form->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    harness::Pump(*form, 100);
    WindowDC dc(form->hwnd());
    // Welcome page background, right of the texts.
    EXPECT_EQ(::GetPixel(dc.get(), PxX(7200), PxY(3000)), RGB(255, 255, 255));
    // The etched separator above the button bar, and the bar's face.
    EXPECT_EQ(::GetPixel(dc.get(), PxX(1000), PxY(4224)), ::GetSysColor(COLOR_3DSHADOW));
    EXPECT_EQ(::GetPixel(dc.get(), PxX(1000), PxY(4240)), ::GetSysColor(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(::GetPixel(dc.get(), PxX(1000), PxY(4600)), ::GetSysColor(COLOR_BTNFACE));
    // The version page: white heading band, dialog face below it.
    form->ShowPage(pic2);
    ::RedrawWindow(form->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    harness::Pump(*form, 100);
    EXPECT_EQ(::GetPixel(dc.get(), PxX(7200), PxY(60)), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(dc.get(), PxX(7200), PxY(900)), ::GetSysColor(COLOR_BTNFACE));
}

// How many of a control's pixels have the colour.
int PixelsOf(HWND control, COLORREF colour) {
    ::UpdateWindow(control);
    RECT client{};
    ::GetClientRect(control, &client);
    const WindowDC dc(control);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) count += ::GetPixel(dc.get(), x, y) == colour ? 1 : 0;
    }
    return count;
}

// The system colours a high-contrast theme sets for the wizard.
constexpr int kElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HOTLIGHT};

// A dark high-contrast theme switched on while the wizard is open: the band,
// its heading and the link take the theme's colours at once; switched off,
// the design's white band and blue link come back.
TEST_F(MainWindow, HighContrastPaintsEveryColourFromTheSystem) {
    COLORREF saved[std::size(kElements)];
    for (size_t index = 0; index < std::size(kElements); ++index) saved[index] = ::GetSysColor(kElements[index]);
    struct Restore {
        const COLORREF* colours;
        ~Restore() {
            SetHighContrastAnswerForTests(-1);
            ::SetSysColors(static_cast<int>(std::size(kElements)), kElements, colours);
        }
    } restore{saved};
    harness::ClickWithMouse(C(cmdWeiter));
    harness::Pump(*form, 100);
    ASSERT_EQ(harness::FrontPage(*form), pic2);
    ASSERT_TRUE(::IsWindowVisible(C(lblDownloadMDAC)));
    EXPECT_GT(PixelsOf(C(lblDownloadMDAC), RGB(0, 0, 255)), 0) << "the design's blue";

    const COLORREF dark[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 255, 255)};
    SetHighContrastAnswerForTests(1);
    ASSERT_TRUE(::SetSysColors(static_cast<int>(std::size(kElements)), kElements, dark));
    harness::Pump(*form, 200);
    WindowDC dc(form->hwnd());
    EXPECT_EQ(::GetPixel(dc.get(), PxX(7200), PxY(60)), RGB(0, 0, 0)) << "the band";
    EXPECT_EQ(::GetPixel(dc.get(), PxX(7200), PxY(900)), RGB(0, 0, 0)) << "the page";
    EXPECT_GT(PixelsOf(C(Label19), RGB(255, 255, 255)), 0) << "the heading in the window text colour";
    EXPECT_EQ(PixelsOf(C(Label19), RGB(255, 255, 0)), 0) << "no button text on the band";
    EXPECT_GT(PixelsOf(C(lblDownloadMDAC), RGB(0, 255, 255)), 0) << "the link in the hot-track colour";
    EXPECT_EQ(PixelsOf(C(lblDownloadMDAC), RGB(0, 0, 255)), 0);
    EXPECT_GT(PixelsOf(C(lblMDACVerDescr), RGB(255, 255, 0)), 0) << "the page's text";

    SetHighContrastAnswerForTests(0);
    ASSERT_TRUE(::SetSysColors(static_cast<int>(std::size(kElements)), kElements, saved));
    harness::Pump(*form, 200);
    EXPECT_EQ(::GetPixel(dc.get(), PxX(7200), PxY(60)), RGB(255, 255, 255));
    EXPECT_GT(PixelsOf(C(lblDownloadMDAC), RGB(0, 0, 255)), 0);
}

TEST_F(MainWindow, OnlyTheUsersCloseActsLikeCancel) {
    // On the welcome page of a fresh start Cancel ends the program.
    ::PostMessageW(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(harness::PumpUntil(*form, [&] { return !form->IsLoaded(); }));

    // While Cancel is disabled (as during a repair run) the user's close does nothing...
    const auto restart = [&] {
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        ::EnableWindow(C(cmdAbbrechen), FALSE);
    };
    restart();
    ::PostMessageW(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ::SetForegroundWindow(form->hwnd());
    harness::PressKeyWithAlt(VK_F4);
    harness::Pump(*form, 100);
    EXPECT_TRUE(form->IsLoaded());
    EXPECT_EQ(form->WizardStep, 1);
    // ...but the task manager's End Task closes the window,
    ::PostMessageW(form->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(harness::PumpUntil(*form, [&] { return !form->IsLoaded(); })) << "End Task";
    // and so does the end of the session, which the window never refuses.
    restart();
    EXPECT_EQ(::SendMessageW(form->hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_TRUE(form->IsLoaded()) << "the session may still go on";
    ::SendMessageW(form->hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(form->IsLoaded()) << "session end";
}

TEST(MainWindowLifetime, CreatedAndDestroyedRepeatedlyInOneProcess) {
    for (int round = 0; round < 3; ++round) {
        auto form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        EXPECT_NE(::FindWindowW(L"MdacRepairWizard", nullptr), nullptr);
        form->Unload();
        EXPECT_FALSE(form->IsLoaded());
        EXPECT_EQ(::FindWindowW(L"MdacRepairWizard", nullptr), nullptr) << "round " << round;
    }
    // Destroying the object of a window that is still open closes it.
    {
        frmMain form;
        ASSERT_TRUE(form.Create());
    }
    EXPECT_EQ(::FindWindowW(L"MdacRepairWizard", nullptr), nullptr);
}

// The shipped program: started as its own process, it shows the wizard and
// ends when the window is closed on the welcome page.
TEST(Program, ShowsTheWizardAndEndsWithItsWindow) {
    const char* program = std::getenv("WIZARD_PROGRAM");
    if (program == nullptr) GTEST_SKIP() << "WIZARD_PROGRAM not set";
    std::string path = std::string("Z:") + program;
    for (char& c : path) c = c == '/' ? '\\' : c;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        ::CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        << path;
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    EXPECT_EQ(::WaitForInputIdle(processHandle.get(), 20000), 0u);
    HWND window = nullptr;
    for (int i = 0; i < 200 && window == nullptr; ++i) {
        window = ::FindWindowW(L"MdacRepairWizard", nullptr);
        if (window == nullptr) ::Sleep(50);
    }
    ASSERT_NE(window, nullptr);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, process.dwProcessId);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window),
              Localized(L"MDAC Analysis and Repair Program", L"MDAC-Analyse und Reparaturprogramm"));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(processHandle.get(), 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(processHandle.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
