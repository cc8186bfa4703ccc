#include "framework/strings.h"
#include "res/resource.h"
#include "ui/main_frame.h"

ITaskbarProgress& CMainFrame::Taskbar() {
    if (!m_taskbar)
        m_taskbar = CreateTaskbarProgress(m_hWnd);
    return *m_taskbar;
}

void CMainFrame::SetTaskbarProgress(std::unique_ptr<ITaskbarProgress> taskbar) {
    m_taskbar = std::move(taskbar);
    m_taskbarState = ITaskbarProgress::State::None;
    m_nTaskbarDone = m_nTaskbarTotal = 0;
}

void CMainFrame::ShowRunProgress(const std::wstring& summary, ITaskbarProgress::State state,
                                 std::uint64_t done, std::uint64_t total) {
    if (!m_hWnd)
        return; // the window, its status bar and its button are gone
    const std::wstring text = summary.empty() ? LoadResString(IDS_STATUS_PANE1) : summary;
    if (m_wndStatusBar.GetPaneText(ID_STATUSBAR_PANE1) != text) {
        m_wndStatusBar.SetPaneText(ID_STATUSBAR_PANE1, text);
        // The pane was made as wide as its blank text; the summary needs room.
        m_wndStatusBar.FitPaneToText(ID_STATUSBAR_PANE1);
        m_wndStatusBar.Invalidate(true);
    }
    ITaskbarProgress& taskbar = Taskbar();
    // A bar shown afresh needs its value even when the value is the old one.
    const bool fresh = m_taskbarState == ITaskbarProgress::State::None;
    if (state != m_taskbarState) {
        taskbar.SetState(state);
        m_taskbarState = state;
    }
    if (state != ITaskbarProgress::State::None &&
        (fresh || done != m_nTaskbarDone || total != m_nTaskbarTotal)) {
        taskbar.SetValue(done, total);
        m_nTaskbarDone = done;
        m_nTaskbarTotal = total;
    }
}

void CMainFrame::ClearRunProgress() {
    ShowRunProgress(std::wstring(), ITaskbarProgress::State::None, 0, 0);
}

void CMainFrame::OnDestroy() {
    m_taskbar.reset();
    m_taskbarState = ITaskbarProgress::State::None;
    CFrameWndEx::OnDestroy();
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == TaskbarButtonCreatedMessage() && msg != 0) {
        Taskbar().ButtonCreated();
        return 0;
    }
    return CFrameWndEx::WindowProc(msg, wParam, lParam);
}
