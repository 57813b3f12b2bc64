#include "tests/VersionPageTexts.h"

#include "tests/WizardHarness.h"

namespace pagetext {

using harness::Localized;

std::wstring MdacText(const std::wstring& prefix) {
    return Localized(L"According to the Windows registry, you have MDAC " + prefix + L" installed.",
                     L"Laut Windows-Systemregistrierung ist auf Ihrem System MDAC " + prefix + L" installiert.");
}

std::wstring MdacDescription(const std::wstring& prefix, MdacVerdict verdict) {
    switch (verdict) {
        case MdacVerdict::Latest:
            return MdacText(prefix) +
                   Localized(L"\nThis is the latest version of MDAC. No update is required.",
                             L" Dies ist die neueste verf\u00fcgbare MDAC-Version; kein Update wird ben\u00f6tigt.");
        case MdacVerdict::XpHint:
            return MdacText(prefix) +
                   Localized(
                       L"We recommend installing Windows XP Service Pack 2 to get the latest version 2.81 of "
                       L"MDAC.",
                       L" Wir empfehlen Ihnen die Installation von Windows XP Service Pack 2, um die neueste "
                       L"MDAC-Version 2.81 zu erhalten.");
        case MdacVerdict::Newer:
            break;
    }
    return MdacText(prefix) + L" " +
           Localized(
               L"There is a newer MDAC version available, which we recommend to install. You can download it "
               L"after clicking the link below.",
               L"Es ist eine neuere MDAC-Version bei Microsoft verf\u00fcgbar, die Sie nach Klick auf den Link "
               L"unten herunterladen k\u00f6nnen.");
}

std::wstring JetText(const std::wstring& version) {
    return Localized(L"The installed version of the Microsoft Jet database module is " + version + L".",
                     L"Die installierte Version des Microsoft Jet Datenbankmoduls ist " + version + L".");
}

std::wstring JetDescription(const std::wstring& version, bool latest) {
    if (latest) {
        return JetText(version) + L"\r" +
               Localized(L"This is the latest version of Jet. No update is required.",
                         L"Dies ist die neueste verf\u00fcgbare Version von Jet; kein Update wird ben\u00f6tigt.");
    }
    return JetText(version) +
           Localized(L"There is a newer version available to which you should update.",
                     L" Es gibt eine neuere Version, auf die Sie aktualisieren sollten.") +
           Localized(L"\n\nIf possible, first install the recommended update, which you can download here:",
                     L"\n\nWenn m\u00f6glich, installieren Sie bitte zun\u00e4chst die genannten Updates, die Sie "
                     L"z.B. hier herunterladen k\u00f6nnen:");
}

std::wstring ContinueHint() {
    return Localized(
        L"Click Next to verify and, if necessary, repair the MDAC files.\nMost MDAC problems are resolved this way.",
        L"Klicken Sie auf \"Weiter\", um die MDAC-Dateien zu \u00fcberpr\u00fcfen und ggf. zu reparieren. Dies "
        L"l\u00f6st MDAC-Probleme in vielen F\u00e4llen.");
}

std::wstring NotAvailable() {
    return Localized(L"Not available", L"Nicht vorhanden");
}

std::wstring DownloadUrl() {
    return Localized(L"https://www.velmorant.example/en/download/mdac.html",
                     L"https://www.velmorant.example/de/download/mdac.html");
}

}  // namespace pagetext
