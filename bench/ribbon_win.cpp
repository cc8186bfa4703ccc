// The ribbon's drawing and layout speed, on the program's own main window
// (its resources linked in): one full paint of the bar at 1280 px
// (`ribbon_paint_ms`, median of 50 into an off-screen surface) and a resize
// sweep of the bar from 1280 to 300 px in 10 px steps (`ribbon_layout_ms`,
// the whole sweep, best of five), and the layout computation of that sweep
// alone (`ribbon_layout_compute_ms`).
#include "framework/app.h"
#include "framework/view.h"
#include "res/resource.h"
#include "ui/main_frame.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main() {
    CWinApp app(L"Torvane Brenlow");
    CMainFrame frame;
    if (!frame.LoadFrame(IDR_MAINFRAME, L"Untitled - Torvane Brenlow")) {
        std::fprintf(stderr, "ribbon: the main window could not be created\n");
        return 1;
    }
    CRibbonBar& ribbon = frame.m_wndRibbonBar;
    SetWindowPos(frame.m_hWnd, nullptr, 0, 0, 1400, 700, SWP_NOZORDER | SWP_NOACTIVATE);
    ribbon.MoveWindow(RECT{0, 0, 1280, ribbon.GetHeight()}, false);

    HDC screen = GetDC(nullptr);
    COffscreen surface(screen, 1280, ribbon.GetHeight());
    ReleaseDC(nullptr, screen);
    // The first paint scales the pictures once for this DPI; later ones reuse them.
    ribbon.Draw(surface.Dc());
    std::vector<double> paints;
    for (int i = 0; i < 50; ++i) {
        auto start = Clock::now();
        ribbon.Draw(surface.Dc());
        GdiFlush();
        paints.push_back(Ms(Clock::now() - start));
    }
    std::nth_element(paints.begin(), paints.begin() + 25, paints.end());

    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto start = Clock::now();
        for (int width = 1280; width >= 300; width -= 10)
            ribbon.MoveWindow(RECT{0, 0, width, ribbon.GetHeight()}, false);
        best = std::min(best, Ms(Clock::now() - start));
    }
    // The same sweep without the windows: the layout computation alone, to
    // tell it from the system's cost of moving a window.
    double bestCompute = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto start = Clock::now();
        int sink = 0;
        for (int width = 1280; width >= 300; width -= 10)
            sink += ribbon.ComputeLayout(width, ribbon.GetDpi()).panels.back().rect.right;
        bestCompute = std::min(bestCompute, Ms(Clock::now() - start));
        if (sink == 42)
            std::printf(" ");
    }
    std::printf("ribbon_paint_ms: %.3f ms\n", paints[25]);
    std::printf("ribbon_layout_ms: %.2f ms\n", best);
    std::printf("ribbon_layout_compute_ms: %.3f ms\n", bestCompute);
    return 0;
}
