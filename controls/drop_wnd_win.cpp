#include "controls/drop_wnd.h"

#include "controls/adv_combo.h"
#include "controls/visual_styles.h"

#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>

namespace {
constexpr UINT kListId = 1;
constexpr UINT kScrollId = 2;
constexpr int kWideEntry = 14; // extra width of an entry with ACS_WIDE_ENTRIES

combo_rules::Box ToBox(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}
} // namespace

// ---------------------------------------------------------------- list

void CDropListBox::Fill() {
    SendMessage(WM_SETREDRAW, FALSE);
    for (AdvComboItem& item : m_items)
        SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(&item));
    SendMessage(WM_SETREDRAW, TRUE);
}

int CDropListBox::ItemFromPoint(POINT pt) const {
    RECT rc = GetClientRect();
    if (!PtInRect(&rc, pt))
        return -1;
    LRESULT hit = SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    if (HIWORD(hit) != 0)
        return -1;
    int index = LOWORD(hit);
    return index < static_cast<int>(m_items.size()) ? index : -1;
}

bool CDropListBox::IsEnabled(int nIndex) const {
    return nIndex >= 0 && nIndex < static_cast<int>(m_items.size()) &&
           !m_items[static_cast<std::size_t>(nIndex)].bItemDisabled;
}

int CDropListBox::WidestText(HFONT hFont) const {
    CClientDC dc(m_hWnd);
    CSelectObject select(dc, hFont);
    int widest = 0;
    for (const AdvComboItem& item : m_items) {
        SIZE size{};
        GetTextExtentPoint32W(dc, item.strText.c_str(), static_cast<int>(item.strText.size()),
                              &size);
        widest = std::max<int>(widest, size.cx);
    }
    return widest;
}

bool CDropListBox::OnReflect(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg != WM_DRAWITEM || !lParam)
        return false;
    auto& dis = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    result = TRUE;
    if (dis.itemID == static_cast<UINT>(-1) || dis.itemID >= m_items.size())
        return true;
    const AdvComboItem& item = m_items[dis.itemID];
    const bool selected = (dis.itemState & ODS_SELECTED) && !item.bItemDisabled;
    FillSolidRect(dis.hDC, dis.rcItem, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(dis.hDC, TRANSPARENT);
    SetTextColor(dis.hDC, GetSysColor(item.bItemDisabled ? COLOR_GRAYTEXT
                                      : selected         ? COLOR_HIGHLIGHTTEXT
                                                         : COLOR_WINDOWTEXT));
    RECT text = dis.rcItem;
    text.left += 2;
    DrawTextW(dis.hDC, item.strText.c_str(), static_cast<int>(item.strText.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return true;
}

// ---------------------------------------------------------------- scroll bar

void CDropScrollBar::Sync(const CDropListBox& list, int nPage) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = std::max(0, static_cast<int>(list.Items().size()) - 1);
    si.nPage = static_cast<UINT>(std::max(nPage, 1));
    si.nPos = std::max(0, list.GetTopIndex());
    SetScrollInfo(m_hWnd, SB_CTL, &si, TRUE);
}

// ---------------------------------------------------------------- drop window

CDropWnd::CDropWnd(CAdvComboBox& combo, std::vector<AdvComboItem> items, DWORD dwComboStyle)
    : m_combo(combo), m_list(std::move(items)), m_dwComboStyle(dwComboStyle) {}

CDropWnd::~CDropWnd() {
    if (GetCapture() == m_hWnd)
        ReleaseCapture();
    if (m_hWnd)
        DestroyWindow();
}

bool CDropWnd::Open(int nSel) {
    RECT comboRect{};
    GetWindowRect(m_combo.m_hWnd, &comboRect);
    if (!CreateEx(WS_EX_TOOLWINDOW, L"", WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, comboRect.left,
                  comboRect.bottom, comboRect.right - comboRect.left, 10, m_combo.m_hWnd, 0))
        return false;
    HFONT hFont = m_combo.GetComboFont();
    if (!m_list.CreateControl(L"LISTBOX", L"",
                              WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT,
                              RECT{0, 0, 10, 10}, this, kListId) ||
        !m_scroll.CreateControl(L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_VERT,
                                RECT{0, 0, 10, 10}, this, kScrollId))
        return false;
    m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
    // The row height follows the font, the same for every row.
    {
        CClientDC dc(m_list.m_hWnd);
        CSelectObject select(dc, hFont);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        m_list.SendMessage(LB_SETITEMHEIGHT, 0, std::max<LONG>(tm.tmHeight + 2, 4));
    }
    m_list.Fill();

    HMONITOR monitor = MonitorFromRect(&comboRect, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(monitor, &mi);
    combo_rules::DropMetrics metrics;
    metrics.nItemHeight = m_list.GetItemHeight();
    metrics.nItemCount = static_cast<int>(m_list.Items().size());
    metrics.nVisibleRows = m_combo.GetVisibleRows();
    metrics.nMinRowsBelow = m_combo.GetMinRowsBelow();
    metrics.nWidestText =
        m_list.WidestText(hFont) + 4 + ((m_dwComboStyle & ACS_WIDE_ENTRIES) ? kWideEntry : 0);
    metrics.nScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
    combo_rules::Box place =
        combo_rules::PlaceDropDown(ToBox(comboRect), ToBox(mi.rcWork), metrics);
    m_sizeInitial = {place.Width(), place.Height()};
    SetWindowPos(m_hWnd, HWND_TOP, place.left, place.top, place.Width(), place.Height(),
                 SWP_NOACTIVATE);
    if (nSel >= 0 && m_list.IsEnabled(nSel))
        SetCurSel(nSel);
    SyncScroll();
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    SetCapture(m_hWnd);
    return true;
}

void CDropWnd::SetCurSel(int nIndex) {
    m_list.SendMessage(LB_SETCURSEL, static_cast<WPARAM>(nIndex));
    SyncScroll();
}

int CDropWnd::SetTopIndex(int nIndex) {
    const int last = std::max(0, static_cast<int>(m_list.Items().size()) - VisibleRows());
    nIndex = std::clamp(nIndex, 0, last);
    LRESULT r = m_list.SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(nIndex));
    SyncScroll();
    return r == LB_ERR ? -1 : 0;
}

int CDropWnd::VisibleRows() const {
    const int height = m_list.GetItemHeight();
    if (height <= 0 || !m_list.m_hWnd)
        return 1;
    return std::max<int>(1, m_list.GetClientRect().bottom / height);
}

RECT CDropWnd::GetGripRect() const {
    RECT rc = GetClientRect();
    return {rc.right - GetSystemMetrics(SM_CXVSCROLL), rc.bottom - GetSystemMetrics(SM_CYHSCROLL),
            rc.right, rc.bottom};
}

void CDropWnd::OnSize(UINT, int cx, int cy) {
    const int sw = GetSystemMetrics(SM_CXVSCROLL);
    const int gh = GetSystemMetrics(SM_CYHSCROLL);
    if (m_list.m_hWnd)
        m_list.MoveWindow({0, 0, std::max(0, cx - sw), cy});
    if (m_scroll.m_hWnd)
        m_scroll.MoveWindow({std::max(0, cx - sw), 0, cx, std::max(0, cy - gh)});
    if (m_list.m_hWnd && m_scroll.m_hWnd)
        SyncScroll();
    RECT grip = GetGripRect();
    InvalidateRect(m_hWnd, &grip, TRUE);
}

void CDropWnd::OnVScroll(int code) {
    const int top = GetTopIndex();
    const int page = VisibleRows();
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_TRACKPOS;
    switch (code) {
    case SB_LINEUP:
        SetTopIndex(top - 1);
        break;
    case SB_LINEDOWN:
        SetTopIndex(top + 1);
        break;
    case SB_PAGEUP:
        SetTopIndex(top - page);
        break;
    case SB_PAGEDOWN:
        SetTopIndex(top + page);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        GetScrollInfo(m_scroll.m_hWnd, SB_CTL, &si);
        SetTopIndex(si.nTrackPos);
        break;
    case SB_TOP:
        SetTopIndex(0);
        break;
    case SB_BOTTOM:
        SetTopIndex(static_cast<int>(m_list.Items().size()));
        break;
    default:
        break;
    }
}

void CDropWnd::OnMouseMove(POINT pt) {
    if (m_bSizing) {
        POINT now = pt;
        ClientToScreen(m_hWnd, &now);
        int cx = m_sizeStart.cx + (now.x - m_ptSizeStart.x);
        int cy = m_sizeStart.cy + (now.y - m_ptSizeStart.y);
        RECT comboRect{};
        GetWindowRect(m_combo.m_hWnd, &comboRect);
        combo_rules::ClampGripSize(cx, cy, comboRect.right - comboRect.left,
                                   GetSystemMetrics(SM_CYHSCROLL), m_sizeInitial.cx,
                                   m_sizeInitial.cy);
        SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    POINT inList = pt;
    MapWindowPoints(m_hWnd, m_list.m_hWnd, &inList, 1);
    const int index = m_list.ItemFromPoint(inList);
    if (index >= 0 && m_list.IsEnabled(index) && index != m_list.GetCurSel())
        SetCurSel(index);
}

void CDropWnd::OnLButtonDown(POINT pt) {
    RECT client = GetClientRect();
    POINT screen = pt;
    ClientToScreen(m_hWnd, &screen);
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    if (!PtInRect(&window, screen)) {
        m_combo.PostMessage(WM_DESTROY_DROPLIST);
        return;
    }
    RECT grip = GetGripRect();
    if (PtInRect(&grip, pt)) {
        m_bSizing = true;
        m_ptSizeStart = screen;
        m_sizeStart = {window.right - window.left, window.bottom - window.top};
        return;
    }
    RECT scroll{};
    GetWindowRect(m_scroll.m_hWnd, &scroll);
    if (PtInRect(&scroll, screen) && PtInRect(&client, pt)) {
        // The scroll bar tracks the button itself until it is released; the
        // drop-down takes the mouse back afterwards.
        SendMessage(WM_VRC_RELEASECAPTURE);
        POINT inBar = screen;
        ScreenToClient(m_scroll.m_hWnd, &inBar);
        m_scroll.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inBar.x, inBar.y));
        if (m_hWnd)
            SendMessage(WM_VRC_SETCAPTURE);
    }
}

void CDropWnd::OnLButtonUp(POINT pt) {
    if (m_bSizing) {
        m_bSizing = false;
        return;
    }
    POINT inList = pt;
    MapWindowPoints(m_hWnd, m_list.m_hWnd, &inList, 1);
    const int index = m_list.ItemFromPoint(inList);
    if (index < 0 || !m_list.IsEnabled(index))
        return;
    m_combo.PostMessage(WM_SELECTED_ITEM, static_cast<WPARAM>(index));
    m_combo.PostMessage(WM_DESTROY_DROPLIST);
}

void CDropWnd::PaintGrip(HDC hDC) {
    RECT grip = GetGripRect();
    CThemeData theme(m_hWnd, L"SCROLLBAR");
    if (theme) {
        FillSolidRect(hDC, grip, GetSysColor(COLOR_BTNFACE));
        CVisualStyles::Api().DrawThemeBackground(theme.Get(), hDC, SBP_SIZEBOX, SZB_RIGHTALIGN,
                                                 &grip, nullptr);
    } else {
        DrawFrameControl(hDC, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    }
}

LRESULT CDropWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(m_hWnd, &ps);
        PaintGrip(hDC);
        EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
        OnMouseMove(pt);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(pt);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(pt);
        return 0;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam));
        return 0;
    case WM_ACTIVATEAPP:
        if (!wParam)
            m_combo.PostMessage(WM_DESTROY_DROPLIST);
        return 0;
    case WM_VRC_SETCAPTURE:
        SetCapture(m_hWnd);
        return 0;
    case WM_VRC_RELEASECAPTURE:
        if (GetCapture() == m_hWnd)
            ReleaseCapture();
        return 0;
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}
