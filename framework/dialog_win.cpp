#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/frame.h"

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    if (m_hWnd)
        return -1;
    HWND hParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hParent && AfxGetApp() && AfxGetApp()->m_pMainWnd)
        hParent = AfxGetApp()->m_pMainWnd->m_hWnd;
    m_bModal = true;
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                                     hParent, CWnd::DialogProc(), reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

bool CDialog::Create(CWnd* pParentWnd) {
    if (m_hWnd)
        return false;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    m_bModal = false;
    HWND hWnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                                   m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr,
                                   CWnd::DialogProc(), reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr && m_hWnd == hWnd;
}

void CDialog::OnDialogBound() {
    if (m_bModal)
        SetPropW(m_hWnd, kOwnModalProperty, reinterpret_cast<HANDLE>(1));
    else
        SetOwnsWindow(true);
}

void CDialog::EndDialog(int nResult) {
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, nResult);
    else
        DestroyWindow();
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT code = HIWORD(wParam);
    if (lParam == 0 || code == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        default: break;
        }
    }
    return CWnd::OnCommand(wParam, lParam);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY)
        RemovePropW(m_hWnd, kOwnModalProperty);
    return CWnd::WindowProc(msg, wParam, lParam);
}
