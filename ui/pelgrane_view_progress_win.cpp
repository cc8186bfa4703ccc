#include "ui/main_frame.h"
#include "ui/pelgrane_doc.h"
#include "ui/pelgrane_view.h"

namespace {

ITaskbarProgress::State ToTaskbar(TaskbarState state) {
    switch (state) {
    case TaskbarState::Normal:
        return ITaskbarProgress::State::Normal;
    case TaskbarState::Error:
        return ITaskbarProgress::State::Error;
    case TaskbarState::None:
        break;
    }
    return ITaskbarProgress::State::None;
}

} // namespace

void CPelgraneView::ShowRunProgress() {
    auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame());
    CPelgraneDoc* doc = GetDocument();
    if (!frame || !doc)
        return;
    if (!m_bRunning) {
        if (m_bRunProgressShown)
            frame->ClearRunProgress();
        m_bRunProgressShown = false;
        m_runSummary.Reset();
        return;
    }
    // Read on the window's thread from what the run's threads publish; no
    // thread of the run ever touches a window.
    const CRunDisplay display = m_runSummary.Tick(CRunSummary::Clock::now(), doc->m_run.Figures());
    frame->ShowRunProgress(display.text, ToTaskbar(display.state), display.done, display.total);
    m_bRunProgressShown = true;
}
