#pragma once
// A function run on a thread of its own while the caller goes on: reading the
// registry while a checking process creates the classes.

#include <windows.h>

#include <exception>
#include <functional>

#include "winsupport/Handles.h"

class BackgroundCall {
public:
    explicit BackgroundCall(std::function<void()> work);
    // Waits for the function, whatever it threw.
    ~BackgroundCall();
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    // Waits for the function and throws again what it threw. Where no thread
    // could be started, the function runs here.
    void Wait();

private:
    static unsigned __stdcall Run(void* self);
    void Join() noexcept;

    std::function<void()> work_;
    std::exception_ptr error_;
    UniqueKernelHandle thread_;
    bool done_ = false;
};
