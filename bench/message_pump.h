// Running this thread's message loop, as a host does between its calls.
#pragma once

#include <windows.h>

namespace bench {

// Dispatches every message that is waiting now.
void DispatchWaiting();

constexpr ULONGLONG kPollMs = 5;

// Dispatches messages until `done()` is true or `timeoutMs` has passed; returns
// whether `done()` became true.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        DispatchWaiting();
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        // A message ends the wait at once; the bound lets `done()` watch other things too.
        const ULONGLONG wait = deadline - now < kPollMs ? deadline - now : kPollMs;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace bench
