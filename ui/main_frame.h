#pragma once
// The main window: the movie list view above a status bar whose right pane is
// a clock that the view's timer keeps current.
#include "framework/frame.h"

#include <ctime>
#include <string>

class CMainFrame : public CFrameWnd {
public:
    CMainFrame() = default;
    // Writes the local time into the clock pane and repaints the status bar.
    void UpdateClockPane();

protected:
    int OnCreate(CREATESTRUCTW* pcs) override;
};

// "%H:%M:%S %A, %B %d, %Y" with English day and month names.
std::wstring FormatClock(const std::tm& local);
