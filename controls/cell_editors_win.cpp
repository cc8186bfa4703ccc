#include "controls/cell_editors.h"

#include "controls/drop_wnd.h"
#include "controls/gdi.h"
#include "controls/xlist_messages.h"

namespace {
void SendToList(const CWnd* pList, UINT msg) {
    if (pList && pList->m_hWnd && IsWindow(pList->m_hWnd))
        ::SendMessageW(pList->m_hWnd, msg, 0, 0);
}
} // namespace

// ---------------------------------------------------------------- CXCombo

void CXCombo::OnComboCancel() {
    SendToList(m_pListCtrl, WM_XCOMBOLIST_VK_ESCAPE);
}

void CXCombo::OnComboComplete() {
    SendToList(m_pListCtrl, WM_XCOMBOLIST_COMPLETE);
}

LRESULT CXCombo::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KILLFOCUS) {
        LRESULT r = CAdvComboBox::WindowProc(msg, wParam, lParam);
        OnComboCancel();
        HWND hNew = reinterpret_cast<HWND>(wParam);
        HWND hDrop = GetDropWnd() ? GetDropWnd()->m_hWnd : nullptr;
        if (!hNew || hNew != hDrop)
            OnComboComplete();
        return r;
    }
    return CAdvComboBox::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- CXEdit

void CXEdit::PreSubclassWindow() {
    if (!m_pListCtrl || !m_pListCtrl->m_hWnd) {
        HWND hParent = GetParent(m_hWnd);
        m_pListCtrl = nullptr;
        if (hParent)
            SendMessage(WM_SETFONT, ::SendMessageW(hParent, WM_GETFONT, 0, 0), TRUE);
    } else {
        SendMessage(WM_SETFONT, m_pListCtrl->SendMessage(WM_GETFONT), TRUE);
    }
    SetWindowText(m_strInitial);
    SendMessage(EM_SETSEL, 0, -1);
    SendMessage(EM_SCROLLCARET);
    ::SetFocus(m_hWnd);
    SetCapture(m_hWnd);
}

void CXEdit::SendEnd(UINT msg) {
    if (!m_bEndSent && m_pListCtrl && m_pListCtrl->m_hWnd && IsWindow(m_pListCtrl->m_hWnd)) {
        m_bEndSent = 1;
        ::SendMessageW(m_pListCtrl->m_hWnd, msg, 0, 0);
    }
    m_bEndSent = 1;
}

LRESULT CXEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            HWND self = m_hWnd;
            MSG pending;
            while (PeekMessageW(&pending, self, WM_CHAR, WM_CHAR, PM_REMOVE)) {
            }
            SendEnd(wParam == VK_RETURN ? WM_XEDIT_KILL_FOCUS : WM_XEDIT_VK_ESCAPE);
            return 0;
        }
        break;
    case WM_CHAR:
        if (m_pListCtrl && (wParam == VK_ESCAPE || wParam == VK_RETURN)) {
            SendEnd(wParam == VK_RETURN ? WM_XEDIT_KILL_FOCUS : WM_XEDIT_VK_ESCAPE);
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return Default() | DLGC_WANTALLKEYS;
    case WM_LBUTTONDOWN: {
        // The editor holds the mouse: a press beyond it is the user
        // leaving the field.
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        RECT rc = GetClientRect();
        if (!PtInRect(&rc, pt)) {
            SendEnd(WM_XEDIT_KILL_FOCUS);
            return 0;
        }
        break;
    }
    case WM_KILLFOCUS: {
        LRESULT r = Default();
        SendEnd(WM_XEDIT_KILL_FOCUS);
        return r;
    }
    case WM_DESTROY:
        if (GetCapture() == m_hWnd)
            ReleaseCapture();
        return Default();
    case WM_PAINT: {
        RECT rc = GetClientRect();
        {
            CClientDC dc(m_hWnd);
            FillSolidRect(dc, {rc.left, rc.top, rc.right + 2, rc.bottom},
                          GetSysColor(COLOR_WINDOW));
        }
        LRESULT r = Default();
        CClientDC dc(m_hWnd);
        CPen pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_INACTIVECAPTION)));
        CSelectObject selectPen(dc, pen.Get());
        CSelectObject selectBrush(dc, GetStockObject(HOLLOW_BRUSH));
        Rectangle(dc, -1, -1, rc.right + 2, rc.bottom - 1);
        return r;
    }
    default:
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}
