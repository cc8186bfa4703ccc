// Cell drawing of CXListCtrl, from its reflected custom-draw notification.
#include "controls/gdi.h"
#include "controls/xlist_ctrl.h"

#include <algorithm>

namespace {

bool IsEmpty(const RECT& rc) {
    return rc.right <= rc.left || rc.bottom <= rc.top;
}

// Longest cell text drawn; more would not fit any window.
constexpr int kDrawTextMax = 1024;

// The progress text: `format` with "%d" replaced by the percentage and "%%"
// by a percent sign; anything else stands as it is, so an application's
// format can never read arguments that are not there.
int FormatPercent(const std::wstring& format, int nPercent, wchar_t (&out)[64]) {
    const wchar_t* f = format.empty() ? L"%d%%" : format.c_str();
    int n = 0;
    auto put = [&](wchar_t c) {
        if (n < 63)
            out[n++] = c;
    };
    for (const wchar_t* p = f; *p; ++p) {
        if (p[0] == L'%' && p[1] == L'd') {
            wchar_t digits[16];
            int len = swprintf(digits, 16, L"%d", nPercent);
            for (int i = 0; i < len; ++i)
                put(digits[i]);
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            put(L'%');
            ++p;
        } else {
            put(*p);
        }
    }
    out[n] = L'\0';
    return n;
}

} // namespace

LRESULT CXListCtrl::OnCustomDraw(NMLVCUSTOMDRAW& cd) {
    const DWORD stage = cd.nmcd.dwDrawStage;
    if (stage == CDDS_PREPAINT) {
        m_paint.bFocus = ::GetFocus() == m_hWnd;
        m_paint.bFullRow = (GetExtendedStyle() & LVS_EX_FULLROWSELECT) != 0;
        m_paint.bShowSelAlways = (GetWindowLongW(m_hWnd, GWL_STYLE) & LVS_SHOWSELALWAYS) != 0;
        m_paint.nItem = -1;
        const int columns = GetColumnCount();
        m_paint.headerFormat.assign(static_cast<std::size_t>(std::max(columns, 0)), 0);
        for (int c = 0; c < columns; ++c) {
            HDITEMW item{};
            item.mask = HDI_FORMAT;
            if (m_wndHeader.SendPastHook(HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item)))
                m_paint.headerFormat[static_cast<std::size_t>(c)] = item.fmt;
        }
        m_paint.columnX.clear();
        m_paint.nTop = static_cast<int>(SendPastHook(LVM_GETTOPINDEX, 0, 0));
        for (int c = 0; c < columns; ++c) {
            RECT rc;
            if (!GetCellRect(m_paint.nTop, c, rc)) {
                m_paint.columnX.clear();
                break;
            }
            m_paint.columnX.emplace_back(rc.left, rc.right);
            m_paint.nRowTop = rc.top;
            m_paint.nRowHeight = rc.bottom - rc.top;
        }
        if (GetClipBox(cd.nmcd.hdc, &m_paint.rcClip) == ERROR)
            m_paint.rcClip = GetClientRect();
        m_paint.hImages =
            reinterpret_cast<HIMAGELIST>(SendPastHook(LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        return CDRF_NOTIFYITEMDRAW;
    }
    if (stage != CDDS_ITEMPREPAINT && stage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM))
        return CDRF_DODEFAULT;

    const int nItem = static_cast<int>(cd.nmcd.dwItemSpec);
    if (nItem != m_paint.nItem) {
        m_paint.nItem = nItem;
        m_paint.bSelected =
            (SendPastHook(LVM_GETITEMSTATE, nItem, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    }
    const Row* row = GetRow(nItem);
    if (row && row->cells.empty())
        row = nullptr;

    if (stage == CDDS_ITEMPREPAINT) {
        // The whole row at once: one notification a row instead of one a
        // cell, and cells outside the area being painted cost nothing.
        for (int c = 0; c < static_cast<int>(m_paint.columnX.size()); ++c) {
            RECT rc, visible;
            if (PaintCellRect(nItem, c, rc) && IntersectRect(&visible, &rc, &m_paint.rcClip))
                DrawCell(cd.nmcd.hdc, nItem, c, row, rc);
        }
        if (!m_paint.columnX.empty())
            return CDRF_SKIPDEFAULT;
        return CDRF_NOTIFYSUBITEMDRAW; // no geometry read: cell by cell
    }

    const int nSubItem = cd.iSubItem;
    const XListCell* cell = row && static_cast<std::size_t>(nSubItem) < row->cells.size()
                                ? &row->cells[static_cast<std::size_t>(nSubItem)]
                                : nullptr;
    cd.clrText = m_clrWindowText;
    cd.clrTextBk = m_clrWindow;
    if (cell) {
        cd.clrText = row->cells[0].bRowEnabled ? cell->clrText : m_clrGrayText;
        cd.clrTextBk = cell->clrBack;
    }
    RECT rc;
    if (PaintCellRect(nItem, nSubItem, rc))
        DrawCell(cd.nmcd.hdc, nItem, nSubItem, row, rc);
    return CDRF_SKIPDEFAULT;
}

void CXListCtrl::DrawCell(HDC hDC, int nItem, int nSubItem, const Row* row, const RECT& rc) {
    const XListCell* cell = row && static_cast<std::size_t>(nSubItem) < row->cells.size()
                                ? &row->cells[static_cast<std::size_t>(nSubItem)]
                                : nullptr;
    const bool enabled = !row || row->cells[0].bRowEnabled;
    m_paint.pRow = row;
    COLORREF crText = m_clrWindowText, crBack = m_clrWindow;
    if (cell) {
        crText = cell->clrText;
        crBack = cell->clrBack;
        if (!enabled)
            crText = m_clrGrayText;
    }

    if (cell && cell->bProgress) {
        if (!IsEmpty(rc))
            DrawProgress(hDC, nItem, nSubItem, *cell, rc, crText);
        return;
    }

    // Selection colours, for everything but the progress bar.
    if (m_paint.bSelected && (m_paint.bFullRow || nSubItem == 0)) {
        if (m_paint.bFocus) {
            crText = m_clrHighlightText;
            crBack = m_clrHighlight;
        } else if (m_paint.bShowSelAlways) {
            crText = m_clrWindowText;
            crBack = m_clrBtnFace;
        }
    }

    if (cell && cell->nCheck != -1) {
        DrawCheckbox(hDC, nItem, nSubItem, *cell, rc, crText, crBack, enabled);
        return;
    }
    RECT textRect = rc;
    textRect.left += DrawImage(hDC, nItem, nSubItem, cell, rc, crBack);
    DrawCellText(hDC, nItem, nSubItem, cell, textRect, crText, crBack);
}

bool CXListCtrl::PaintCellRect(int nItem, int nSubItem, RECT& rect) const {
    if (nSubItem < 0 || static_cast<std::size_t>(nSubItem) >= m_paint.columnX.size())
        return GetCellRect(nItem, nSubItem, rect) != 0;
    const auto [left, right] = m_paint.columnX[static_cast<std::size_t>(nSubItem)];
    const int top = m_paint.nRowTop + (nItem - m_paint.nTop) * m_paint.nRowHeight;
    rect = {left, top, right, top + m_paint.nRowHeight};
    return true;
}

void CXListCtrl::DrawProgress(HDC hDC, int, int, const XListCell& cell, const RECT& cellRect,
                              COLORREF crText) {
    RECT r = cellRect;
    r.left += 1;
    r.bottom -= 1;
    FillSolidRect(hDC, r, kProgressBack);
    Draw3dRect(hDC, r, RGB(0, 0, 0), m_clrBtnShadow);
    // A percent past the whole (a body longer than the size it was known by,
    // for the moment before its row turns Completed) is a full bar, never a
    // fill beyond the cell.
    const int percent = std::min(cell.nPercent, 100);
    if (percent <= 0)
        return; // an empty bar has no text

    RECT fill{r.left + 1, r.top + 1, r.left + 1 + (r.right - r.left - 1) * percent / 100 - 1,
              r.bottom - 1};
    FillSolidRect(hDC, fill, m_clrHighlight);
    if (!cell.bProgressText)
        return;

    wchar_t text[64];
    const int length = FormatPercent(cell.strProgressFormat, percent, text);
    RECT textRect = r;
    InflateRect(&textRect, -1, -1);
    const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    // The text changes colour exactly where the fill ends: drawn twice, each
    // time clipped to one side.
    const RECT sides[2] = {fill, {fill.right, r.top + 1, r.right, r.bottom - 1}};
    const COLORREF colors[2] = {m_clrHighlightText, crText};
    for (int i = 0; i < 2; ++i) {
        CSaveDC saved(hDC);
        IntersectClipRect(hDC, sides[i].left, sides[i].top, sides[i].right, sides[i].bottom);
        SetBkMode(hDC, TRANSPARENT);
        SetTextColor(hDC, colors[i]);
        ::DrawTextW(hDC, text, length, &textRect, flags);
    }
}

void CXListCtrl::DrawCheckbox(HDC hDC, int nItem, int nSubItem, const XListCell& cell,
                              const RECT& rc, COLORREF crText, COLORREF crBack, bool bEnabled) {
    FillSolidRect(hDC, rc, crBack);
    wchar_t buffer[kDrawTextMax];
    int length = 0;
    const wchar_t* text = CellText(nItem, nSubItem, m_paint.pRow, buffer, kDrawTextMax, length);

    RECT box{rc.left + 9, rc.top, 0, rc.bottom - 1};
    const int side = box.bottom - box.top;
    if (length == 0)
        box.left = rc.left + (rc.right - rc.left) / 2 - side / 2 - 1;
    box.right = box.left + side;
    FillSolidRect(hDC, box, m_clrWindow);
    FrameRect(hDC, &box, m_brBoxFrame.Get());
    if (cell.nCheck == 1) {
        CSelectObject select(hDC, (bEnabled ? m_penTick : m_penTickDisabled).Get());
        CXHeaderCtrl::DrawTick(hDC, box.left, box.top);
    }
    if (length == 0)
        return;
    RECT textRect = rc;
    textRect.left = box.right + 4;
    UINT flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    if (m_bEllipsis)
        flags |= DT_END_ELLIPSIS;
    const int oldMode = SetBkMode(hDC, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(hDC, crText);
    ::DrawTextW(hDC, text, length, &textRect, flags);
    SetTextColor(hDC, oldColor);
    SetBkMode(hDC, oldMode);
}

int CXListCtrl::DrawImage(HDC hDC, int, int, const XListCell* pCell, const RECT& rc,
                          COLORREF crBack) {
    if (IsEmpty(rc))
        return 0;
    FillSolidRect(hDC, rc, crBack);
    const int spacing = m_wndHeader.GetSpacing();
    HIMAGELIST hList = m_paint.hImages;
    if (!hList || !pCell || pCell->nImageIndex == -1)
        return 0;
    int cx = 0, cy = 0;
    if (!ImageList_GetIconSize(hList, &cx, &cy))
        return 0;
    const int left = rc.left + spacing;
    const int width = rc.right - left;
    if (width <= 0)
        return 0;
    const int top = (rc.top + rc.bottom) / 2 - cy / 2;
    const COLORREF oldBk = ImageList_SetBkColor(hList, crBack);
    ImageList_DrawEx(hList, pCell->nImageIndex, hDC, left, top, std::min(cx, width),
                     std::min<int>(cy, rc.bottom - rc.top), CLR_DEFAULT, CLR_DEFAULT, ILD_NORMAL);
    ImageList_SetBkColor(hList, oldBk);
    return spacing + cx;
}

void CXListCtrl::DrawCellText(HDC hDC, int nItem, int nSubItem, const XListCell* pCell,
                              const RECT& rc, COLORREF crText, COLORREF crBack) {
    if (IsEmpty(rc))
        return;
    FillSolidRect(hDC, rc, crBack);
    wchar_t buffer[kDrawTextMax];
    int length = 0;
    const wchar_t* text = CellText(nItem, nSubItem, m_paint.pRow, buffer, kDrawTextMax, length);
    if (length == 0)
        return;
    const int format = static_cast<std::size_t>(nSubItem) < m_paint.headerFormat.size()
                           ? m_paint.headerFormat[static_cast<std::size_t>(nSubItem)]
                           : 0;
    // Cell texts are data, not labels: an ampersand is shown as it is.
    UINT flags = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    if (format & HDF_CENTER)
        flags |= DT_CENTER;
    else if (format & HDF_RIGHT)
        flags |= DT_RIGHT;
    else
        flags |= DT_LEFT;
    if (m_bEllipsis)
        flags |= DT_END_ELLIPSIS;

    CFont bold;
    HGDIOBJ oldFont = nullptr;
    if (pCell && pCell->bBoldText) {
        LOGFONTW lf{};
        if (GetObjectW(GetCurrentObject(hDC, OBJ_FONT), sizeof lf, &lf)) {
            lf.lfWeight = FW_BOLD;
            bold.Reset(CreateFontIndirectW(&lf));
            if (bold)
                oldFont = SelectObject(hDC, bold.Get());
        }
    }
    RECT textRect{rc.left + m_nTextInset, rc.top, rc.right - m_nTextInset, rc.bottom};
    const int oldMode = SetBkMode(hDC, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(hDC, crText);
    ::DrawTextW(hDC, text, length, &textRect, flags);
    SetTextColor(hDC, oldColor);
    SetBkMode(hDC, oldMode);
    if (oldFont)
        SelectObject(hDC, oldFont);
}
