#pragma once
// OLE on the calling thread for one scope: the self-registration code of COM
// components expects it.

#include <ole2.h>

class OleSession {
public:
    OleSession() noexcept : initialised_(SUCCEEDED(::OleInitialize(nullptr))) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() {
        if (initialised_) ::OleUninitialize();
    }

private:
    bool initialised_;
};
