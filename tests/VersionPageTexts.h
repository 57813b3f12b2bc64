#pragma once
// What the version page (and the file list) says, written out independently of the message
// catalogue, in the profile's language.

#include <string>

namespace pagetext {

// "... you have MDAC <prefix> installed." with the verdict that follows it:
// the latest version, the Windows XP hint, or the offer of a newer one.
std::wstring MdacText(const std::wstring& prefix);
enum class MdacVerdict { Latest, XpHint, Newer };
std::wstring MdacDescription(const std::wstring& prefix, MdacVerdict verdict);

// "... the Microsoft Jet database module is <version>." with its verdict.
std::wstring JetText(const std::wstring& version);
std::wstring JetDescription(const std::wstring& version, bool latest);

std::wstring ContinueHint();
// What the page and the file list say of a file without a readable version.
std::wstring NotAvailable();
std::wstring DownloadUrl();

}  // namespace pagetext
