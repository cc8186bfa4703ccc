#include "framework/frame.h"

#include "framework/app.h"
#include "framework/document.h"
#include "framework/user_settings.h"
#include "framework/strings.h"
#include "framework/view.h"

#include <algorithm>

namespace {

constexpr wchar_t kFrameClass[] = L"TorvaneBrenlow.Frame";

// A menu item as a command surface: the answer lands on the item itself.
class CMenuItemUI : public CCmdUI {
public:
    CMenuItemUI(HMENU hMenu, UINT pos, UINT id) : CCmdUI(id), m_hMenu(hMenu), m_nPos(pos) {}
    void Enable(bool bOn) override {
        CCmdUI::Enable(bOn);
        EnableMenuItem(m_hMenu, m_nPos, MF_BYPOSITION | (bOn ? MF_ENABLED : MF_GRAYED));
    }
    void SetCheck(int nCheck) override {
        CCmdUI::SetCheck(nCheck);
        CheckMenuItem(m_hMenu, m_nPos, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
    }

private:
    HMENU m_hMenu;
    UINT m_nPos;
};

void UpdateMenu(HMENU hMenu, CCmdTarget& route) {
    int count = GetMenuItemCount(hMenu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(hMenu, static_cast<UINT>(i), TRUE, &info))
            continue;
        if ((info.fType & MFT_SEPARATOR) || info.hSubMenu || info.wID == 0)
            continue;
        CMenuItemUI ui(hMenu, static_cast<UINT>(i), info.wID);
        route.UpdateCmdUI(ui);
    }
}

} // namespace

CFrameWnd::~CFrameWnd() {
    DestroyWindow();
    if (m_hIconBig)
        DestroyIcon(m_hIconBig);
    if (m_hIconSmall)
        DestroyIcon(m_hIconSmall);
}

bool CFrameWnd::LoadFrame(UINT nIDResource, const std::wstring& title, DWORD dwStyle,
                          CWnd* pParentWnd) {
    HINSTANCE hInst = GetModuleHandleW(nullptr);
    m_hIconBig = static_cast<HICON>(LoadImageW(hInst, MAKEINTRESOURCEW(nIDResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON),
                                               GetSystemMetrics(SM_CYICON), 0));
    m_hIconSmall = static_cast<HICON>(LoadImageW(hInst, MAKEINTRESOURCEW(nIDResource), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    const wchar_t* cls = RegisterWndClass(kFrameClass, CS_DBLCLKS, nullptr, nullptr,
                                          reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    HMENU hMenu = LoadMenuW(hInst, MAKEINTRESOURCEW(nIDResource));
    m_accel.Load(nIDResource);
    if (!CreateEx(0, title.c_str(), dwStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                  reinterpret_cast<UINT_PTR>(hMenu), cls)) {
        if (hMenu)
            DestroyMenu(hMenu);
        return false;
    }
    if (m_hIconBig)
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIconBig));
    if (m_hIconSmall)
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall));
    return true;
}

void CFrameWnd::SetView(std::unique_ptr<CView> view) {
    m_view = std::move(view);
    RecalcLayout();
}

CDocument* CFrameWnd::GetActiveDocument() const {
    return m_view ? m_view->GetDocument() : nullptr;
}

void CFrameWnd::ActivateFrame(int nCmdShow) {
    if (!m_bPlacementTried && !m_strPlacementKey.empty()) {
        m_bPlacementTried = true;
        if (RestorePlacement(nCmdShow))
            return;
    }
    ShowWindow(nCmdShow);
    if (IsWindowVisible(m_hWnd))
        BringWindowToTop(m_hWnd);
}

void CFrameWnd::OnUpdateFrameTitle() {
    std::wstring appTitle = AfxGetApp() ? AfxGetApp()->GetAppTitle() : std::wstring();
    CDocument* doc = GetActiveDocument();
    std::wstring caption = doc && !doc->GetTitle().empty()
                               ? doc->GetTitle() + (appTitle.empty() ? L"" : L" - " + appTitle)
                               : appTitle;
    if (GetWindowText() != caption)
        SetWindowText(caption);
}

void CFrameWnd::RecalcLayout() {
    if (!m_hWnd)
        return;
    RECT rc = GetClientRect();
    if (m_wndStatusBar.m_hWnd) {
        m_wndStatusBar.Reposition();
        rc.bottom -= m_wndStatusBar.GetHeight();
        if (rc.bottom < rc.top)
            rc.bottom = rc.top;
    }
    if (m_view && m_view->m_hWnd)
        m_view->MoveWindow(rc, true);
}

bool CFrameWnd::OnCmdMsg(unsigned id, CCmdUI* pCmdUI) {
    if (m_view && m_view->OnCmdMsg(id, pCmdUI))
        return true;
    if (DispatchOwn(id, pCmdUI))
        return true;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, pCmdUI);
}

void CFrameWnd::UpdateMenuStates(HMENU hMenu) { UpdateMenu(hMenu, *this); }

void CFrameWnd::TrackPopupMenu(HMENU hPopup, POINT ptScreen, CCmdTarget& route) {
    if (!hPopup || !m_hWnd)
        return;
    UpdateMenu(hPopup, route);
    CCmdTarget* saved = m_pPopupRoute;
    m_pPopupRoute = &route;
    UINT cmd = static_cast<UINT>(::TrackPopupMenu(hPopup,
                                                  TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                                  ptScreen.x, ptScreen.y, 0, m_hWnd, nullptr));
    m_pPopupRoute = saved;
    if (cmd)
        RunRoutedCommand(route, cmd);
}

void CFrameWnd::OnIdleUpdateCmdUI() {
    // Copy: a surface may unregister itself while it updates.
    auto surfaces = m_surfaces;
    for (CCommandSurface* surface : surfaces)
        surface->UpdateCommandStates(*this);
}

void CFrameWnd::AddCommandSurface(CCommandSurface* pSurface) {
    if (pSurface && std::find(m_surfaces.begin(), m_surfaces.end(), pSurface) == m_surfaces.end())
        m_surfaces.push_back(pSurface);
}

void CFrameWnd::RemoveCommandSurface(CCommandSurface* pSurface) {
    m_surfaces.erase(std::remove(m_surfaces.begin(), m_surfaces.end(), pSurface),
                     m_surfaces.end());
}

// ---------------------------------------------------------------- placement

void CFrameWnd::SetPlacementStore(const std::wstring& keyPath, const std::wstring& valueName) {
    m_strPlacementKey = keyPath;
    m_strPlacementValue = valueName;
}

bool CFrameWnd::SavePlacement() const {
    if (m_strPlacementKey.empty() || !m_hWnd)
        return false;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (!GetWindowPlacement(m_hWnd, &wp))
        return false;
    const auto* raw = reinterpret_cast<const unsigned char*>(&wp);
    return WriteUserBinary(m_strPlacementKey, m_strPlacementValue,
                           std::vector<unsigned char>(raw, raw + sizeof(wp)));
}

bool CFrameWnd::RestorePlacement(int nCmdShow) {
    if (m_strPlacementKey.empty() || !m_hWnd)
        return false;
    // The stored value is outside input: exactly one placement, or nothing.
    std::vector<unsigned char> bytes;
    WINDOWPLACEMENT wp{};
    if (!ReadUserBinary(m_strPlacementKey, m_strPlacementValue, bytes, sizeof(wp)) ||
        bytes.size() != sizeof(wp))
        return false;
    memcpy(&wp, bytes.data(), sizeof(wp));
    if (wp.length != sizeof(wp))
        return false;
    // A placement on a monitor that is gone would hide the window.
    if (!MonitorFromRect(&wp.rcNormalPosition, MONITOR_DEFAULTTONULL))
        return false;
    if (wp.rcNormalPosition.right - wp.rcNormalPosition.left < 100 ||
        wp.rcNormalPosition.bottom - wp.rcNormalPosition.top < 50)
        return false;
    wp.flags = 0;
    if (wp.showCmd == SW_SHOWMINIMIZED || wp.showCmd == SW_MINIMIZE || wp.showCmd == SW_HIDE)
        wp.showCmd = SW_SHOWNORMAL;
    if (nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_SHOWDEFAULT)
        wp.showCmd = static_cast<UINT>(nCmdShow);
    if (!SetWindowPlacement(m_hWnd, &wp))
        return false;
    BringWindowToTop(m_hWnd);
    return true;
}

// ---------------------------------------------------------------- messages

bool CFrameWnd::PreTranslateMessage(MSG& msg) { return m_accel.Translate(m_hWnd, msg); }

LRESULT CFrameWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam)) // not the system menu
            UpdateMenu(reinterpret_cast<HMENU>(wParam),
                       m_pPopupRoute ? *m_pPopupRoute : static_cast<CCmdTarget&>(*this));
        return 0;
    case WM_ENTERMENULOOP:
        m_strIdleMessage = GetMessageText();
        return Default();
    case WM_MENUSELECT: {
        UINT flags = HIWORD(wParam);
        if (flags == 0xFFFF && lParam == 0)
            SetMessageText(m_strIdleMessage); // menu closed
        else if (flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU))
            SetMessageText(std::wstring());
        else
            ShowCommandPrompt(LOWORD(wParam));
        return 0;
    }
    case WM_EXITMENULOOP:
        SetMessageText(m_strIdleMessage);
        return Default();
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_SYSCOLORCHANGE: {
        // The system tells only top-level windows; the controls inside keep
        // colour caches of their own, so every window below hears it too.
        LRESULT r = Default();
        MSG change{m_hWnd, msg, wParam, lParam, 0, {}};
        EnumChildWindows(
            m_hWnd,
            [](HWND child, LPARAM data) -> BOOL {
                const auto* m = reinterpret_cast<const MSG*>(data);
                ::SendMessageW(child, m->message, m->wParam, m->lParam);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&change));
        return r;
    }
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}

void CFrameWnd::ShowCommandPrompt(UINT nID) { SetMessageText(PromptPart(LoadResString(nID))); }

void CFrameWnd::SetMessageText(const std::wstring& text) { m_wndStatusBar.SetMessageText(text); }

std::wstring CFrameWnd::GetMessageText() const { return m_wndStatusBar.GetMessageText(); }

void CFrameWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::OnSetFocus(HWND) {
    if (m_view && m_view->m_hWnd)
        SetFocus(m_view->m_hWnd);
}

void CFrameWnd::OnClose() {
    CDocument* doc = GetActiveDocument();
    if (doc) {
        if (!doc->SaveModified())
            return;
        // The document's close destroys this frame (and with the main window the
        // application ends).
        doc->OnCloseDocument();
        if (!m_hWnd)
            return;
    }
    DestroyWindow();
}

void CFrameWnd::OnDestroy() { SavePlacement(); }

void CFrameWnd::PostNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(app->m_nExitCode);
    }
}

void CFrameWnd::OnDropFiles(HDROP hDrop) {
    std::vector<std::wstring> files;
    UINT count = DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(hDrop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        UINT got = DragQueryFileW(hDrop, i, path.data(), length + 1);
        path.resize(got);
        if (!path.empty())
            files.push_back(std::move(path));
    }
    DragFinish(hDrop);
    SetForegroundWindow(m_hWnd);
    CWinApp* app = AfxGetApp();
    for (const auto& path : files)
        if (app)
            app->OpenDocumentFile(path);
}
