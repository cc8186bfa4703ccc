#include "ui/reading_dlg.h"

#include "framework/app.h"
#include "framework/frame.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>

CReadingDlg::CReadingDlg(CPageReading& reading, CWnd* pParent)
    : CDialog(IDD_READING, pParent), m_reading(reading) {}

std::wstring CReadingDlg::ProgressText(const CPageReading::Progress& progress) {
    if (progress.bLinkPage)
        return L"Reading the page of links\u2026";
    if (progress.nPage <= 0)
        return L"Reading\u2026";
    return L"Reading page " + std::to_wstring(progress.nPage) + L" of " +
           std::to_wstring(progress.nPages) + L"\u2026";
}

bool CReadingDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Centred over the window it holds off, where the user was looking, and
    // whole on that window's screen: its Cancel is the way out of a page that
    // never comes. A minimised window sits far off the screen, so the window
    // then comes up in the middle of the screen it will be restored on.
    if (HWND owner = GetWindow(m_hWnd, GW_OWNER)) {
        MONITORINFO screen{};
        screen.cbSize = sizeof screen;
        const bool bScreen =
            GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen) != FALSE;
        RECT outer{}, own{};
        if (bScreen && IsIconic(owner))
            outer = screen.rcWork;
        else
            GetWindowRect(owner, &outer);
        GetWindowRect(m_hWnd, &own);
        const int width = own.right - own.left, height = own.bottom - own.top;
        int x = outer.left + ((outer.right - outer.left) - width) / 2;
        int y = outer.top + ((outer.bottom - outer.top) - height) / 2;
        if (bScreen) {
            const RECT& work = screen.rcWork;
            x = std::max(std::min(x, static_cast<int>(work.right) - width),
                         static_cast<int>(work.left));
            y = std::max(std::min(y, static_cast<int>(work.bottom) - height),
                         static_cast<int>(work.top));
        }
        SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowProgress();
    SetTimer(kTimerId, kTimerPeriodMs);
    return true;
}

void CReadingDlg::OnCancel() {
    // The wait ends at once; the window goes with it.
    m_reading.Cancel();
}

void CReadingDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kTimerId) {
        Default();
        return;
    }
    ShowProgress();
}

void CReadingDlg::ShowProgress() {
    const CPageReading::Progress progress = m_reading.GetProgress();
    const std::wstring text = ProgressText(progress);
    HWND label = GetDlgItem(IDC_READING_TEXT);
    wchar_t shown[128] = {};
    ::GetWindowTextW(label, shown, 128);
    // Setting the same text again would make the label flicker on every tick.
    if (text != shown)
        ::SetWindowTextW(label, text.c_str());
    HWND bar = GetDlgItem(IDC_READING_BAR);
    const int range = progress.nPages > 0 ? progress.nPages : 1;
    ::SendMessageW(bar, PBM_SETRANGE32, 0, range);
    ::SendMessageW(bar, PBM_SETPOS, progress.nPage > 0 ? progress.nPage - 1 : 0, 0);
}

namespace {

// Holds off the user's input to the main window, as a modal window holds it
// off, so that no second command starts meanwhile.
class CInputHold {
public:
    explicit CInputHold(HWND hMain) : m_hMain(hMain) {
        m_bDisabled = hMain && IsWindowEnabled(hMain);
        if (m_bDisabled)
            EnableWindow(hMain, FALSE);
    }
    ~CInputHold() { Release(); }
    CInputHold(const CInputHold&) = delete;
    CInputHold& operator=(const CInputHold&) = delete;

    // Before the progress window goes, so that the activation returns here.
    void Release() {
        if (m_bDisabled)
            EnableWindow(m_hMain, TRUE);
        m_bDisabled = false;
    }

private:
    HWND m_hMain;
    bool m_bDisabled = false;
};

} // namespace

void WaitForPageReading(CPageReading& reading, DWORD quietMs) {
    CWinApp* app = AfxGetApp();
    CWnd* mainWnd = app ? app->m_pMainWnd : nullptr;
    HWND hMain = mainWnd ? mainWnd->m_hWnd : nullptr;
    // The loop is our own rather than a modal dialog's: it waits on the
    // reading's end as well as on messages, and the window it may show comes
    // only when the reading takes its time.
    CInputHold hold(hMain);
    CReadingDlg dlg(reading);
    bool bShown = false;
    bool bQuit = false;
    int quitCode = 0;
    const auto showAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(quietMs);
    HANDLE done = reading.DoneEvent();
    while (!reading.IsDone() && !reading.IsCancelled()) {
        DWORD timeout = INFINITE;
        if (!bShown) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                showAt - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                bShown = true;
                // Should the window fail to appear, the wait goes on without it.
                if (dlg.Create(mainWnd))
                    dlg.ShowWindow(SW_SHOW);
                continue;
            }
            timeout = static_cast<DWORD>(left.count());
        }
        const DWORD wait =
            MsgWaitForMultipleObjectsEx(1, &done, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (wait != WAIT_OBJECT_0 + 1)
            continue; // done, or time to show the window
        MSG msg;
        while (!reading.IsCancelled() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                bQuit = true;
                quitCode = static_cast<int>(msg.wParam);
                reading.Cancel();
                break;
            }
            if (dlg.m_hWnd && IsDialogMessageW(dlg.m_hWnd, &msg))
                continue;
            // Keys and clicks meant for the main window are what a modal
            // window swallows.
            const bool bInput = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                                (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
            if (bInput && hMain && msg.hwnd && GetAncestor(msg.hwnd, GA_ROOT) == hMain)
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    hold.Release();
    if (dlg.m_hWnd)
        dlg.DestroyWindow();
    reading.Finish();
    if (bQuit)
        PostQuitMessage(quitCode);
}
