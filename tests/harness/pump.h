// The one message pump of the suites and the benchmark: a test that waits
// for something keeps its own thread's windows answering meanwhile.
#pragma once

#include <windows.h>

#include <functional>

namespace harness {

// How long a wait may take before the test gives up on it. Waiting is not
// timing: a slow machine only waits longer.
constexpr DWORD kWaitMs = 20000;
// How often a wait looks again when no message wakes it.
constexpr DWORD kPollMs = 20;

// Dispatches every message waiting for this thread.
inline void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Dispatches this thread's messages until `done` holds or the time-out
// passes; returns done(). It looks before it dispatches anything, so what
// already holds leaves the queue as it is. Between looks it sleeps until a
// message comes, or a moment passes for what other processes change.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return done();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

}  // namespace harness
