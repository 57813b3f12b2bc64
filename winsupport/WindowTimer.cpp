#include "winsupport/WindowTimer.h"

void WindowTimer::SetEnabled(bool enabled) noexcept {
    if (owner_ == nullptr) {
        enabled_ = false;
        return;
    }
    if (enabled) {
        enabled_ = ::SetTimer(owner_, id_, interval_, nullptr) != 0;
    } else if (enabled_) {
        ::KillTimer(owner_, id_);
        enabled_ = false;
    }
}

void WindowTimer::SetInterval(UINT interval) noexcept {
    interval_ = interval;
    if (enabled_) ::SetTimer(owner_, id_, interval_, nullptr);  // same id: replaces the running timer
}
