#pragma once
// Waiting in window tests: this thread's messages keep running while a
// condition is polled up to a deadline; a dialog is waited for from a
// helper thread while the test's thread runs its modal loop.
#include "poll.h"

#include <windows.h>

#include <chrono>
#include <string>

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

// A window's text (its caption, or a control's contents).
inline std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return text;
}

// The dialog with this caption once it is visible (a dialog is found before
// its initialisation is over otherwise), or null after the poll's deadline.
inline HWND WaitDialog(const wchar_t* title) {
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindWindowW(L"#32770", title);
        return found && IsWindowVisible(found);
    });
    return found;
}

} // namespace tb::test
