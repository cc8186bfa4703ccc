#pragma once
// Waiting in tests: every wait polls a condition up to a deadline, never a
// fixed sleep, so a quick machine runs quickly and a busy one still passes.
#include <chrono>
#include <thread>

namespace tb::test {

// Polls `condition` every `step` until it holds (true) or `limit` passes (false).
template <class F>
bool WaitUntil(F&& condition, std::chrono::milliseconds limit = std::chrono::seconds(20),
               std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

} // namespace tb::test
