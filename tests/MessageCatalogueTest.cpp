// The string table as the resource loader hands it out, in both languages.

#include <gtest/gtest.h>

#include "winsupport/MessageCatalogue.h"
#include "tests/WizardHarness.h"

namespace {

using harness::Localized;

const int kAllMessages[] = {100, 102, 103, 104, 106, 107, 108, 110, 111, 112, 113, 114, 117, 120, 122,
                            123, 124, 125, 127, 128, 129, 131, 132, 134, 137, 138, 139, 140, 141, 142,
                            143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157};

TEST(MessageCatalogue, EveryMessageExistsInTheInterfaceLanguage) {
    for (int id : kAllMessages) EXPECT_FALSE(LoadMessage(id).empty()) << "message " << id;
    EXPECT_EQ(LoadMessage(101), L"");
    EXPECT_EQ(LoadMessage(9999), L"");
}

TEST(MessageCatalogue, LanguageFollowsTheUserInterface) {
    // Any language but German gets the English texts.
    EXPECT_EQ(LoadMessage(100), Localized(L"MDAC Analysis and Repair Program", L"MDAC-Analyse und Reparaturprogramm"));
    EXPECT_EQ(LoadMessage(149), Localized(L"Close", L"Schlie\u00dfen"));
    EXPECT_EQ(LoadMessage(125), Localized(L"< Back", L"< Zur\u00fcck"));
    if (harness::Profile() == "fr") {
        EXPECT_EQ(::GetUserDefaultUILanguage() & 0x3FF, LANG_FRENCH);
        EXPECT_EQ(LoadMessage(148), L"Cancel");
    }
}

TEST(MessageCatalogue, LeadingSpacesAndLineFeedsAreKept) {
    struct Case {
        int id;
        std::wstring english, german;
    };
    const Case cases[] = {
        {145, L"\nThis is the latest version of MDAC. No update is required.",
         L" Dies ist die neueste verf\u00fcgbare MDAC-Version; kein Update wird ben\u00f6tigt."},
        {128, L"We recommend installing Windows XP Service Pack 2 to get the latest version 2.81 of MDAC.",
         L" Wir empfehlen Ihnen die Installation von Windows XP Service Pack 2, um die neueste MDAC-Version 2.81 zu "
         L"erhalten."},
        {144, L"There is a newer version available to which you should update.",
         L" Es gibt eine neuere Version, auf die Sie aktualisieren sollten."},
        {147, L"\n\nIf possible, first install the recommended update, which you can download here:",
         L"\n\nWenn m\u00f6glich, installieren Sie bitte zun\u00e4chst die genannten Updates, die Sie z.B. hier "
         L"herunterladen k\u00f6nnen:"},
        {112, L"Welcome to the Velmorant\nQuillbrook Tool", L"Willkommen beim Velmorant MDAC-Reparaturprogramm"},
        {110, L"To continue, click Next.", L"Um fortzufahren, klicken Sie auf \"Weiter\"."},
        {142, L"Click [*].", L"Klicken Sie auf '[*]'."},
        {154,
         L"Verifying and repairing the MDAC files has finished!\n\nPlease check whether your problematic program seems "
         L"to work correctly now.",
         L"\u00dcberpr\u00fcfung und Reparatur der MDAC-Dateien abgeschlossen!\n\nPr\u00fcfen Sie, ob Ihre "
         L"problematische Anwendung jetzt funktioniert."},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadMessage(c.id), Localized(c.english, c.german)) << "message " << c.id;
}

TEST(MessageCatalogue, WebAddressesShareSchemeAndHost) {
    const std::wstring language = Localized(L"/en/", L"/de/");
    const std::wstring paths[] = {
        Localized(L"/en/download/mdac.html", L"/de/download/mdac.html"),
        Localized(L"/en/download/repair_mdac.html", L"/de/download/mdac_reparieren.html"),
        Localized(L"/en/download/mdac_xp_sp2.html", L"/de/download/mdac_xp_sp2.html"),
    };
    const int ids[] = {117, 120, 122};
    std::wstring origin;
    for (int i = 0; i < 3; ++i) {
        const std::wstring url = LoadMessage(ids[i]);
        ASSERT_GT(url.size(), paths[i].size()) << "message " << ids[i];
        EXPECT_EQ(url.substr(url.size() - paths[i].size()), paths[i]) << "message " << ids[i];
        const std::wstring thisOrigin = url.substr(0, url.size() - paths[i].size());
        EXPECT_EQ(thisOrigin.rfind(L"https://", 0), 0u) << "message " << ids[i];
        EXPECT_EQ(thisOrigin.find(L'/', 8), std::wstring::npos)
            << "origin carries a path: " << std::string(thisOrigin.begin(), thisOrigin.end());
        if (i == 0) origin = thisOrigin;
        EXPECT_EQ(thisOrigin, origin) << "message " << ids[i];
    }
}

TEST(MessageCatalogue, FarewellTextIsSigned) {
    const std::wstring text = LoadMessage(134);
    if (harness::GermanInterface()) {
        EXPECT_EQ(text.rfind(L"Lieber Nutzer,\n\nwir hoffen, dass Ihnen dieses Programm", 0), 0u);
        EXPECT_NE(text.find(L"wenden sie sich bitte per E-Mail an "), std::wstring::npos);
        EXPECT_NE(text.find(L'@'), std::wstring::npos);
        const std::wstring closing = L".\n\nMit freundlichen Gr\u00fc\u00dfen\nDas Velmorant Support-Team\n";
        ASSERT_GT(text.size(), closing.size());
        EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
    } else {
        const std::wstring body = L"Many thanks!\n\n";
        const auto end = text.find(body);
        ASSERT_NE(end, std::wstring::npos);
        const std::wstring signature = text.substr(end + body.size());
        const auto lineBreak = signature.find(L'\n');
        ASSERT_NE(lineBreak, std::wstring::npos) << "two signature lines";
        EXPECT_FALSE(signature.substr(0, lineBreak).empty());
        EXPECT_EQ(signature[lineBreak + 1], L'(');
        EXPECT_EQ(signature.back(), L')');
    }
}

}  // namespace
