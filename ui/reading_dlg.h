#pragma once
// Waiting for the page reads of an Add or a Batch Add without freezing the
// window: the reading runs on its worker; this side only watches it.
#include "framework/dialog.h"
#include "ui/page_reading.h"

#include <string>

// The small window that shows which page is being read ("Reading page 3 of
// 41…") with a progress bar and Cancel. Modeless, run by WaitForPageReading's
// own loop, which holds off the main window meanwhile; it reads the worker's
// progress on a timer.
class CReadingDlg : public CDialog {
public:
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTimerPeriodMs = 100;

    explicit CReadingDlg(CPageReading& reading, CWnd* pParent = nullptr);

    // The line shown for a state of the reading.
    static std::wstring ProgressText(const CPageReading::Progress& progress);

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {} // Enter does not end the reading
    void OnTimer(UINT_PTR nIDEvent) override;

private:
    void ShowProgress();
    CPageReading& m_reading;
};

// Returns once `reading` has ended or the user cancelled it, the window
// answering all the while. Most single pages arrive at once, so the progress
// window appears only when reading takes longer than `quietMs`. A quit
// message cancels the reading and is passed on.
void WaitForPageReading(CPageReading& reading, DWORD quietMs = 300);
