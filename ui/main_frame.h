#pragma once
// The main window: the ribbon (application button and menu, the Home
// category), the movie list view, and the ribbon status bar whose right pane
// is a clock that the view's timer keeps current.
#include "framework/frame_ex.h"
#include "framework/ribbon.h"
#include "framework/ribbon_statusbar.h"
#include "framework/taskbar.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

class CMainFrame : public CFrameWndEx {
public:
    CMainFrame() = default;
    // Writes the local time into the clock pane and repaints the status bar.
    void UpdateClockPane();

    // A download run while it goes: its summary in pane 120 (empty: the
    // pane's blank text) and its progress on the taskbar button. Only
    // changes reach the taskbar.
    void ShowRunProgress(const std::wstring& summary, ITaskbarProgress::State state,
                         std::uint64_t done, std::uint64_t total);
    // The run is over: the blank pane and no progress on the button.
    void ClearRunProgress();
    // Replaces the taskbar button's progress (tests give a recorder); the
    // shell's own is made at first use otherwise.
    void SetTaskbarProgress(std::unique_ptr<ITaskbarProgress> taskbar);

    CRibbonBar m_wndRibbonBar;
    CRibbonApplicationButton m_MainButton;
    CImageStrip m_PanelImages;
    // The ribbon status bar takes the place of the plain frame's status bar.
    CRibbonStatusBar m_wndStatusBar;

protected:
    int OnCreate(CREATESTRUCTW* pcs) override;
    // Lets go of the taskbar button's progress while the window and COM are
    // still there: the frame object itself outlives the program's COM.
    void OnDestroy() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void InitializeRibbon();
    ITaskbarProgress& Taskbar();

    std::unique_ptr<ITaskbarProgress> m_taskbar;
    // What the taskbar shows now.
    ITaskbarProgress::State m_taskbarState = ITaskbarProgress::State::None;
    std::uint64_t m_nTaskbarDone = 0, m_nTaskbarTotal = 0;
};

// "%H:%M:%S %A, %B %d, %Y" with English day and month names.
std::wstring FormatClock(const std::tm& local);
