#include "ui/pelgrane_view.h"

#include "framework/frame.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "ui/main_frame.h"
#include "ui/maker_site.h"
#include "ui/pelgrane_doc.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

void OpenWithShell(const std::wstring& target) {
    ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace

CPelgraneView::CPelgraneView() : CFormView(IDD_PELGRANE_FORM) {
    OnCommand(ID_DOWNLOAD_START, &CPelgraneView::OnDownload);
    OnUpdateCommand(ID_DOWNLOAD_START, &CPelgraneView::OnUpdateDownload);
    OnCommand(ID_DOWNLOAD_STOP, &CPelgraneView::OnStop);
    OnUpdateCommand(ID_DOWNLOAD_STOP, &CPelgraneView::OnUpdateStop);
    OnCommand(ID_MOVIES_OPEN_FOLDER, &CPelgraneView::OnOpenOutputFolder);
    OnCommand(ID_OPTIONS_OPEN_FOLDER, &CPelgraneView::OnOpenOutputFolder);
    OnCommand(ID_LINK_HOME, &CPelgraneView::OnLinkHome);
    OnCommand(ID_LINK_PRODUCT, &CPelgraneView::OnLinkProduct);
    OnCommand(ID_LINK_CONTACT, &CPelgraneView::OnLinkContact);
}

CPelgraneView::~CPelgraneView() {
    // The timer and the drop target belong to the window; end them while it exists.
    m_dropTarget.Revoke();
    DestroyWindow();
}

CPelgraneDoc* CPelgraneView::GetDocument() const {
    return static_cast<CPelgraneDoc*>(m_pDocument);
}

void CPelgraneView::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_MOVIE_LIST, m_listMovies);
}

void CPelgraneView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    if (!m_bInitialized) {
        m_dropTarget.Register(m_hWnd);
        InitMovieList();
    }
    StretchList();
    SetTimer(kTimerId, kTimerPeriodMs);
    m_bInitialized = 1;
    OnUpdate(nullptr, 0, nullptr);
}

void CPelgraneView::InitMovieList() {
    ListView_SetExtendedListViewStyle(m_listMovies.m_hWnd, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    // Files dropped on the list are taken and ignored, so they do not open as
    // projects through the frame.
    DragAcceptFiles(m_hWnd, TRUE);
}

void CPelgraneView::OnUpdate(CView*, LPARAM, void*) {
    if (!m_bInitialized)
        return;
    if (CPelgraneDoc* doc = GetDocument())
        m_bRunning = doc->m_bDownloading.load();
    if (m_listMovies.m_hWnd)
        m_listMovies.Invalidate();
}

void CPelgraneView::StretchList() {
    if (!m_listMovies.m_hWnd)
        return;
    m_listMovies.MoveWindow(GetClientRect(), true);
}

void CPelgraneView::OnSize(UINT nType, int cx, int cy) {
    CFormView::OnSize(nType, cx, cy);
    StretchList();
}

void CPelgraneView::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kTimerId) {
        if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame()))
            frame->UpdateClockPane();
    }
    if (m_bRunning) {
        // Taken before the refresh, so the tick that first sees the run ended
        // still shows the final statuses once.
        if (CPelgraneDoc* doc = GetDocument())
            m_bRunning = doc->m_bDownloading.load();
        if (m_listMovies.m_hWnd)
            m_listMovies.Invalidate();
    }
    Default();
}

LRESULT CPelgraneView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_RBUTTONUP) {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(m_hWnd, &pt);
        ShowContextMenu(pt);
        return 0;
    }
    if (msg == WM_DROPFILES) {
        // Dropped on the list: ignored.
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return CFormView::WindowProc(msg, wParam, lParam);
}

bool CPelgraneView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) {
    auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (hdr->idFrom == IDC_MOVIE_LIST && hdr->code == NM_RCLICK) {
        POINT pt{};
        GetCursorPos(&pt);
        ShowContextMenu(pt);
        result = 0;
        return true;
    }
    return CFormView::OnNotify(wParam, lParam, result);
}

void CPelgraneView::ShowContextMenu(POINT ptScreen) {
    CFrameWnd* frame = GetParentFrame();
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_POPUP_EDIT));
    if (!frame || !menu)
        return;
    // The view is the start of the route: its commands first, then its document's.
    frame->TrackPopupMenu(GetSubMenu(menu, 0), ptScreen, *this);
    DestroyMenu(menu);
}

void CPelgraneView::OnDownload() {
    CPelgraneDoc* doc = GetDocument();
    if (!doc)
        return;
    doc->StartDownload();
    m_bRunning = 1;
}

void CPelgraneView::OnStop() {
    if (CPelgraneDoc* doc = GetDocument())
        doc->StopDownload();
    m_bRunning = 0;
}

void CPelgraneView::OnUpdateDownload(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bRunning == 0);
}
void CPelgraneView::OnUpdateStop(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bRunning != 0);
}

void CPelgraneView::OnOpenOutputFolder() {
    // Resolves (and creates) the folder, then opens it through the settings' shell seam.
    ::OnOpenOutputFolder();
}

void CPelgraneView::OnLinkHome() {
    OpenWithShell(kMakerSite);
}
void CPelgraneView::OnLinkProduct() {
    OpenWithShell(kMakerProductPage);
}
void CPelgraneView::OnLinkContact() {
    OpenWithShell(kMakerContactPage);
}
