#pragma once
// OLE on the calling thread for one scope: the self-registration code of COM
// components expects it.

#include "winsupport/LateImports.h"

class OleSession {
public:
    OleSession() noexcept : initialised_(SUCCEEDED(late::OleInitialize(nullptr))) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() {
        if (initialised_) late::OleUninitialize();
    }

private:
    bool initialised_;
};
