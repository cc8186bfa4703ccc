#include "framework/frame_ex.h"

#include "framework/ribbon.h"
#include "framework/ribbon_statusbar.h"
#include "framework/view.h"

#include <windowsx.h>

#include <algorithm>

namespace {

CRibbonHit::Kind KindOfHit(WPARAM hit) {
    switch (hit) {
    case HTMINBUTTON:
        return CRibbonHit::minimize;
    case HTMAXBUTTON:
        return CRibbonHit::maximize;
    case HTCLOSE:
        return CRibbonHit::close;
    default:
        return CRibbonHit::nothing;
    }
}

} // namespace

bool CFrameWndEx::SystemAllowsOwnCaption() {
    // Wine hands the caption to the X window manager and leaves the area
    // where it would be outside the visible window.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

void CFrameWndEx::SetRibbonCaption(bool bRibbon) {
    m_bRibbonCaption = bRibbon;
    if (m_pRibbonBar)
        SetRibbonBar(m_pRibbonBar);
}

void CFrameWndEx::SetRibbonBar(CRibbonBar* pBar) {
    m_pRibbonBar = pBar;
    if (!pBar)
        return; // the bar goes with the window
    pBar->SetDrawsCaption(m_bRibbonCaption);
    // The caption changes hands: the system measures the frame again.
    if (m_hWnd)
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RecalcLayout();
}

void CFrameWndEx::SetRibbonStatusBar(CRibbonStatusBar* pBar) {
    m_pRibbonStatusBar = pBar;
    if (pBar)
        RecalcLayout();
}

void CFrameWndEx::RecalcLayout() {
    if (!m_hWnd)
        return;
    if (!m_pRibbonBar && !m_pRibbonStatusBar) {
        CFrameWnd::RecalcLayout();
        return;
    }
    RECT rc = GetClientRect();
    if (m_pRibbonBar && m_pRibbonBar->m_hWnd) {
        int h = std::min<int>(m_pRibbonBar->GetHeight(), rc.bottom);
        m_pRibbonBar->MoveWindow(RECT{0, 0, rc.right, h}, true);
        // The maximise glyph and the title follow the window's state.
        m_pRibbonBar->RecalcLayout();
        rc.top = h;
    }
    if (m_pRibbonStatusBar && m_pRibbonStatusBar->m_hWnd) {
        int h = m_pRibbonStatusBar->GetHeight();
        int top = std::max<int>(rc.top, rc.bottom - h);
        m_pRibbonStatusBar->MoveWindow(RECT{0, top, rc.right, rc.bottom}, true);
        m_pRibbonStatusBar->Invalidate(true);
        rc.bottom = top;
    }
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    if (CView* view = GetActiveView(); view && view->m_hWnd)
        view->MoveWindow(rc, true);
}

bool CFrameWndEx::PreTranslateMessage(MSG& msg) {
    if (m_pRibbonBar && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
        m_pRibbonBar->PreTranslateKey(msg))
        return true;
    return CFrameWnd::PreTranslateMessage(msg);
}

void CFrameWndEx::SetMessageText(const std::wstring& text) {
    if (m_pRibbonStatusBar)
        m_pRibbonStatusBar->SetMessageText(text);
    else
        CFrameWnd::SetMessageText(text);
}

std::wstring CFrameWndEx::GetMessageText() const {
    return m_pRibbonStatusBar ? m_pRibbonStatusBar->GetMessageText() : CFrameWnd::GetMessageText();
}

LRESULT CFrameWndEx::HitTestFrame(POINT ptScreen) {
    LRESULT hit = DefWindowProcW(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(ptScreen.x, ptScreen.y));
    if (hit != HTCLIENT || !m_pRibbonBar || !m_pRibbonBar->m_hWnd)
        return hit;
    POINT pt = ptScreen;
    ScreenToClient(m_pRibbonBar->m_hWnd, &pt);
    switch (m_pRibbonBar->HitTest(pt).kind) {
    case CRibbonHit::caption:
        return HTCAPTION;
    case CRibbonHit::minimize:
        return HTMINBUTTON;
    case CRibbonHit::maximize:
        return HTMAXBUTTON;
    case CRibbonHit::close:
        return HTCLOSE;
    default:
        return HTCLIENT;
    }
}

void CFrameWndEx::OnDpiChanged(int dpi, const RECT* suggested) {
    if (m_pRibbonBar)
        m_pRibbonBar->SetDpi(dpi);
    if (m_pRibbonStatusBar)
        m_pRibbonStatusBar->SetDpi(dpi);
    if (suggested)
        SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    RecalcLayout();
}

LRESULT CFrameWndEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_pRibbonBar)
        return CFrameWnd::WindowProc(msg, wParam, lParam);
    switch (msg) {
    case WM_NCCALCSIZE: {
        if (!wParam || !m_bRibbonCaption)
            return Default();
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        const RECT window = params->rgrc[0];
        LRESULT result = Default();
        RECT& client = params->rgrc[0];
        // The caption's height goes to the client area; the top border keeps
        // the thickness of the side borders (also when maximised, where the
        // borders lie off the screen).
        if (client.top > window.top && client.left >= window.left)
            client.top = window.top + (client.left - window.left);
        return result;
    }
    case WM_NCHITTEST:
        return HitTestFrame(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCMOUSEMOVE:
        if (!m_bRibbonCaption)
            return Default();
        if (!m_bNcTracking) {
            TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE | TME_NONCLIENT, m_hWnd, 0};
            m_bNcTracking = TrackMouseEvent(&tme) != FALSE;
        }
        m_pRibbonBar->SetCaptionButtonState(KindOfHit(wParam), KindOfHit(m_nNcPressed));
        return Default();
    case WM_NCMOUSELEAVE:
        m_bNcTracking = false;
        m_nNcPressed = 0;
        m_pRibbonBar->SetCaptionButtonState(CRibbonHit::nothing, CRibbonHit::nothing);
        return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (m_bRibbonCaption && KindOfHit(wParam) != CRibbonHit::nothing) {
            // The buttons are drawn by the ribbon; the system must not draw
            // its own over them while it tracks a press.
            m_nNcPressed = wParam;
            m_pRibbonBar->SetCaptionButtonState(KindOfHit(wParam), KindOfHit(wParam));
            return 0;
        }
        m_pRibbonBar->CancelModes();
        return Default();
    case WM_NCLBUTTONUP: {
        if (!m_bRibbonCaption)
            return Default();
        const WPARAM pressed = m_nNcPressed;
        m_nNcPressed = 0;
        m_pRibbonBar->SetCaptionButtonState(KindOfHit(wParam), CRibbonHit::nothing);
        if (pressed && pressed == wParam) {
            WPARAM command = wParam == HTMINBUTTON ? SC_MINIMIZE
                             : wParam == HTCLOSE   ? SC_CLOSE
                             : IsZoomed(m_hWnd)    ? SC_RESTORE
                                                   : SC_MAXIMIZE;
            SendMessage(WM_SYSCOMMAND, command, lParam);
            return 0;
        }
        return Default();
    }
    case WM_SETTEXT: {
        LRESULT result = Default();
        m_pRibbonBar->OnTitleChanged();
        return result;
    }
    case WM_NCACTIVATE:
        m_pRibbonBar->Invalidate(false);
        return Default();
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            m_pRibbonBar->CancelModes();
        return CFrameWnd::WindowProc(msg, wParam, lParam);
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        return CFrameWnd::WindowProc(msg, wParam, lParam);
    }
}
