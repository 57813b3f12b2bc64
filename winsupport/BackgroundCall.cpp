#include "winsupport/BackgroundCall.h"

#include <process.h>

#include <utility>

#include "winsupport/Waits.h"

BackgroundCall::BackgroundCall(std::function<void()> work) : work_(std::move(work)) {
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, &BackgroundCall::Run, this, 0, nullptr);
    if (thread != 0) thread_.reset(reinterpret_cast<HANDLE>(thread));
}

BackgroundCall::~BackgroundCall() {
    Join();
}

unsigned __stdcall BackgroundCall::Run(void* self) {
    auto* call = static_cast<BackgroundCall*>(self);
    try {
        call->work_();
    } catch (...) {
        call->error_ = std::current_exception();
    }
    return 0;
}

void BackgroundCall::Join() noexcept {
    if (!thread_) return;
    // A component's broadcast to this thread's windows is answered meanwhile.
    WaitTakingSentMessages({thread_.get()}, INFINITE);
    thread_.reset();
    done_ = true;
}

void BackgroundCall::Wait() {
    if (thread_) {
        Join();
    } else if (!done_) {
        done_ = true;
        Run(this);
    }
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}
