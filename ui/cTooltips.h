#pragma once
// Owns one tooltip window of the common controls and drives it through its
// messages. Without a window every member is inert.

#include <windows.h>

#include <cstdint>
#include <string>

class cTooltips {
public:
    cTooltips() = default;
    ~cTooltips();
    cTooltips(const cTooltips&) = delete;
    cTooltips& operator=(const cTooltips&) = delete;
};
