#pragma once
// A window timer with the enabled/interval pair of a form timer: enabling
// starts it on the owner window, changing the interval of a running timer
// restarts it.

#include <windows.h>

class WindowTimer {
public:
    WindowTimer(UINT_PTR id, UINT interval) noexcept : id_(id), interval_(interval) {}
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;
    ~WindowTimer() { SetEnabled(false); }

    void Attach(HWND owner) noexcept { owner_ = owner; }
    // The owner is being destroyed; its timers go with it.
    void Detach() noexcept {
        enabled_ = false;
        owner_ = nullptr;
    }

    UINT_PTR Id() const noexcept { return id_; }
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool enabled) noexcept;
    UINT Interval() const noexcept { return interval_; }
    void SetInterval(UINT interval) noexcept;

private:
    UINT_PTR id_;
    UINT interval_;
    HWND owner_ = nullptr;
    bool enabled_ = false;
};
