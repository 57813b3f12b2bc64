#pragma once
// Waiting on other processes from a thread that owns windows.

#include <windows.h>

#include <initializer_list>

// Waits until one of the handles is signalled or the time is up, and lets no
// window message through but those other threads and programs send: a
// component's broadcast would otherwise wait for this thread as long as this
// thread waits for the component. WAIT_OBJECT_0 + the handle's index,
// WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitTakingSentMessages(std::initializer_list<HANDLE> handles, DWORD milliseconds);

// A pause that lets a user read the run's progress. Counted, so that a test
// sees that a run nobody watches makes none.
void PauseForReader(DWORD milliseconds);
unsigned long PausesForReader();
