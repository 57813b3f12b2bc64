#pragma once
// The program keeps its texts as UTF-16; the ANSI platform calls see them
// through the system's ANSI code page. Lengths are explicit, so embedded NULs
// survive the round trip.

#include <string>
#include <string_view>

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);
