#include "ui/main_frame.h"

#include "framework/app.h"
#include "framework/strings.h"
#include "res/resource.h"

#include <cwchar>

std::wstring FormatClock(const std::tm& local) {
    // The C runtime's own names are the English ones whatever the user's locale.
    wchar_t buffer[128] = {};
    if (std::wcsftime(buffer, 128, L"%H:%M:%S %A, %B %d, %Y", &local) == 0)
        return {};
    return buffer;
}

int CMainFrame::OnCreate(CREATESTRUCTW* pcs) {
    if (CFrameWnd::OnCreate(pcs) == -1)
        return -1;
    if (!m_wndStatusBar.Create(this))
        return -1;
    // The clock pane starts with its 40-digit text, which also sets its width.
    m_wndStatusBar.SetPanes({{ID_STATUSBAR_PANE1, LoadResString(IDS_STATUS_PANE1)},
                             {ID_STATUSBAR_PANE2, LoadResString(IDS_STATUS_PANE2)}});
    if (CWinApp* app = AfxGetApp(); app && !app->GetRegistryKey().empty())
        SetPlacementStore(app->GetProfileBranch() + L"\\Workspace", L"MainWindowPlacement");
    return 0;
}

void CMainFrame::UpdateClockPane() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    std::wstring text;
    if (localtime_s(&local, &now) == 0)
        text = FormatClock(local);
    m_wndStatusBar.SetPaneText(ID_STATUSBAR_PANE2, text);
    m_wndStatusBar.Invalidate(true);
}
