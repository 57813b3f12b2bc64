#pragma once
// Whose rights and whose data the program runs with: deployment tools start it
// as the local system account, whose HKEY_CURRENT_USER is its own and none of
// the people who use the PC.

#include <string>
#include <vector>

// The account's SID as text (S-1-5-21-...), empty when the token cannot be read.
std::wstring CurrentAccountSid();
// DOMAIN\name, or "SYSTEM" for the local system account whatever the
// system's language calls it; the SID itself when no name is found.
std::wstring CurrentAccountName();
bool RunsAsSystem();
// Wine has no local system account: tests decide the answer (1 or 0; -1
// asks the system again).
void SetRunsAsSystemForTests(int answer);

// DOMAIN\name of a SID given as text, else the text itself.
std::wstring AccountNameOfSid(const std::wstring& sid);

// The people's hives loaded under HKEY_USERS (those logged on, or whose
// programs run): their SIDs, without the service accounts', the classes
// halves and the running account's own.
std::vector<std::wstring> LoadedUserHives();
