#include "ui/link_ctrl.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>

CLinkCtrl::CLinkCtrl() {
    m_open = [](const std::wstring& url) {
        ShellExecuteW(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
}

CLinkCtrl::~CLinkCtrl() {
    if (m_hTooltip)
        ::DestroyWindow(m_hTooltip);
    if (m_hUnderlined)
        DeleteObject(m_hUnderlined);
}

void CLinkCtrl::SetTooltip(const std::wstring& text) {
    if (!m_hWnd)
        return;
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(m_hWnd);
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = const_cast<wchar_t*>(text.c_str());
    if (!m_hTooltip) {
        m_hTooltip =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, nullptr, nullptr);
        ::SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    } else {
        ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

std::wstring CLinkCtrl::GetTooltip() const {
    if (!m_hTooltip)
        return {};
    wchar_t buffer[256] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = ::GetParent(m_hWnd);
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = buffer;
    ::SendMessageW(m_hTooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    return buffer;
}

SIZE CLinkCtrl::TextSize() const {
    SIZE size{};
    std::wstring text = GetWindowText();
    HDC dc = ::GetDC(m_hWnd);
    HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    HGDIOBJ old =
        SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return size;
}

void CLinkCtrl::SizeToContent() {
    if (!m_hWnd)
        return;
    // Owner drawing from here on: the button's own face would not look like a link.
    LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~LONG_PTR(BS_TYPEMASK)) | BS_OWNERDRAW);
    SIZE size = TextSize();
    SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

void CLinkCtrl::SetVisited(bool bVisited) {
    m_bVisited = bVisited;
    if (m_hWnd)
        Invalidate();
}

namespace {

double Luminance(COLORREF c) {
    auto channel = [](int v) {
        double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) +
           0.0722 * channel(GetBValue(c));
}

COLORREF BrushColor(HBRUSH brush) {
    LOGBRUSH lb{};
    if (brush && GetObjectW(brush, sizeof lb, &lb) == sizeof lb && lb.lbStyle == BS_SOLID)
        return lb.lbColor;
    return GetSysColor(COLOR_BTNFACE);
}

} // namespace

double CLinkCtrl::ContrastRatio(COLORREF a, COLORREF b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

COLORREF CLinkCtrl::GetLinkColor(COLORREF background) const {
    if (m_hWnd && !::IsWindowEnabled(m_hWnd))
        return GetSysColor(COLOR_GRAYTEXT);
    // The wanted colour first, then link colours for light and for dark
    // backgrounds; the first that reads well wins, else the best of them.
    const COLORREF candidates[] = {
        m_bVisited ? kVisitedColor : GetSysColor(COLOR_HOTLIGHT),
        m_bVisited ? kVisitedColor : RGB(0x00, 0x66, 0xCC),
        m_bVisited ? RGB(0xD0, 0xA0, 0xFF) : RGB(0x66, 0xB2, 0xFF),
    };
    COLORREF best = candidates[0];
    for (COLORREF c : candidates) {
        if (ContrastRatio(c, background) >= 4.5)
            return c;
        if (ContrastRatio(c, background) > ContrastRatio(best, background))
            best = c;
    }
    return best;
}

bool CLinkCtrl::FocusCueShown() const {
    if (m_bMouseFocus)
        return false;
    // A mouse user does not see focus rectangles; the dialog manager clears
    // this flag once the keyboard moves the focus.
    auto state = static_cast<UINT>(::SendMessageW(m_hWnd, WM_QUERYUISTATE, 0, 0));
    return !(state & UISF_HIDEFOCUS);
}

HBRUSH CLinkCtrl::ParentBackground(HDC dc) const {
    // The same background the parent gives its labels, so the link sits on the
    // dialog like text and not like a button face.
    HWND parent = ::GetParent(m_hWnd);
    HBRUSH brush = parent
                       ? reinterpret_cast<HBRUSH>(::SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                 reinterpret_cast<WPARAM>(dc),
                                                                 reinterpret_cast<LPARAM>(m_hWnd)))
                       : nullptr;
    return brush ? brush : GetSysColorBrush(COLOR_BTNFACE);
}

void CLinkCtrl::Draw(const DRAWITEMSTRUCT& dis) {
    if (!m_hUnderlined) {
        LOGFONTW lf{};
        HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT), sizeof lf,
                   &lf);
        lf.lfUnderline = TRUE;
        m_hUnderlined = CreateFontIndirectW(&lf);
    }
    std::wstring text = GetWindowText();
    HBRUSH background = ParentBackground(dis.hDC);
    FillRect(dis.hDC, &dis.rcItem, background);
    HGDIOBJ old = SelectObject(dis.hDC, m_hUnderlined);
    SetBkMode(dis.hDC, TRANSPARENT);
    SetTextColor(dis.hDC, GetLinkColor(BrushColor(background)));
    RECT rc = dis.rcItem;
    DrawTextW(dis.hDC, text.c_str(), static_cast<int>(text.size()), &rc,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    if ((dis.itemState & ODS_FOCUS) && !(dis.itemState & ODS_NOFOCUSRECT) && FocusCueShown())
        DrawFocusRect(dis.hDC, &dis.rcItem);
    SelectObject(dis.hDC, old);
}

LRESULT CLinkCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    // Set before the button takes the focus on the press, so that a click
    // never shows the keyboard's focus rectangle.
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)
        m_bMouseFocus = ::GetFocus() != m_hWnd || m_bMouseFocus;
    else if (msg == WM_KILLFOCUS)
        m_bMouseFocus = false;
    LRESULT result = CWnd::WindowProc(msg, wParam, lParam);
    // The focus rectangle follows the keyboard cues as they come and go.
    if (msg == WM_UPDATEUISTATE)
        Invalidate();
    return result;
}

bool CLinkCtrl::OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_DRAWITEM) {
        Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (m_open && !m_strURL.empty()) {
            m_open(m_strURL);
            SetVisited();
        }
        result = 0;
        return true;
    }
    return false;
}
