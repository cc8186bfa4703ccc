#pragma once
// Waiting in window tests: this thread's messages keep running while a
// condition is polled up to a deadline.
#include "poll.h"

#include <windows.h>

#include <chrono>

namespace tb::test {

// Runs the messages that are waiting now.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs this thread's messages until `condition` holds (true) or `limit`
// passes (false).
template <class F>
bool PumpUntil(F&& condition, std::chrono::milliseconds limit = std::chrono::seconds(10),
               std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
    return WaitUntil(
        [&] {
            Pump();
            return condition();
        },
        limit, step);
}

} // namespace tb::test
