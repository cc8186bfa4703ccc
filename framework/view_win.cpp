#include "framework/view.h"

#include "framework/document.h"
#include "framework/frame.h"

CView::~CView() {
    if (m_pDocument)
        m_pDocument->RemoveView(this);
    DestroyWindow();
}

bool CView::Create(CFrameWnd* pFrame, CDocument* pDoc) {
    if (!pFrame || m_hWnd)
        return false;
    m_pFrame = pFrame;
    m_pDocument = pDoc;
    if (!CreateEx(WS_EX_CLIENTEDGE, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                  pFrame->m_hWnd, kFirstPaneID))
        return false;
    if (pDoc)
        pDoc->AddView(this);
    return true;
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView*, LPARAM, void*) { Invalidate(true); }

bool CView::OnCmdMsg(unsigned id, CCmdUI* pCmdUI) {
    if (DispatchOwn(id, pCmdUI))
        return true;
    return m_pDocument && m_pDocument->OnCmdMsg(id, pCmdUI);
}

bool CFormView::Create(CFrameWnd* pFrame, CDocument* pDoc) {
    if (!pFrame || m_hWnd)
        return false;
    m_pFrame = pFrame;
    m_pDocument = pDoc;
    HWND hWnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                                   pFrame->m_hWnd, CWnd::DialogProc(),
                                   reinterpret_cast<LPARAM>(this));
    if (!hWnd || m_hWnd != hWnd)
        return false;
    SetOwnsWindow(true);
    SetWindowLongPtrW(m_hWnd, GWLP_ID, kFirstPaneID);
    ::ShowWindow(m_hWnd, SW_SHOW);
    if (pDoc)
        pDoc->AddView(this);
    return true;
}

void CFormView::OnInitialUpdate() {
    UpdateData(false);
    CView::OnInitialUpdate();
}
