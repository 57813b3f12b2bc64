#include "winsupport/Waits.h"

DWORD WaitTakingSentMessages(std::initializer_list<HANDLE> handles, DWORD milliseconds) {
    const auto count = static_cast<DWORD>(handles.size());
    const DWORD started = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - started;
        if (elapsed >= milliseconds) return WAIT_TIMEOUT;
        const DWORD result =
            ::MsgWaitForMultipleObjects(count, handles.begin(), FALSE, milliseconds - elapsed, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + count) return result;
        // Takes in the messages sent from other threads; posted ones wait.
        MSG message{};
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

namespace {
unsigned long g_pauses = 0;
}  // namespace

void PauseForReader(DWORD milliseconds) {
    ++g_pauses;
    ::Sleep(milliseconds);
}

unsigned long PausesForReader() {
    return g_pauses;
}
