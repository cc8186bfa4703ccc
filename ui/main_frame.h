#pragma once
// The main window: the ribbon (application button and menu, the Home
// category), the movie list view, and the ribbon status bar whose right pane
// is a clock that the view's timer keeps current.
#include "framework/frame_ex.h"
#include "framework/ribbon.h"
#include "framework/ribbon_statusbar.h"

#include <ctime>
#include <string>

class CMainFrame : public CFrameWndEx {
public:
    CMainFrame() = default;
    // Writes the local time into the clock pane and repaints the status bar.
    void UpdateClockPane();

    CRibbonBar m_wndRibbonBar;
    CRibbonApplicationButton m_MainButton;
    CImageStrip m_PanelImages;
    // The ribbon status bar takes the place of the plain frame's status bar.
    CRibbonStatusBar m_wndStatusBar;

protected:
    int OnCreate(CREATESTRUCTW* pcs) override;

private:
    void InitializeRibbon();
};

// "%H:%M:%S %A, %B %d, %Y" with English day and month names.
std::wstring FormatClock(const std::tm& local);
