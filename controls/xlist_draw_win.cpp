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

int ReadCellText(HWND hList, int nItem, int nSubItem, wchar_t (&text)[kDrawTextMax]) {
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = text;
    item.cchTextMax = kDrawTextMax;
    text[0] = L'\0';
    int got = static_cast<int>(
        ::SendMessageW(hList, LVM_GETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
    return std::clamp(got, 0, kDrawTextMax - 1);
}

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
            if (::SendMessageW(m_wndHeader.m_hWnd, HDM_GETITEMW, c,
                               reinterpret_cast<LPARAM>(&item)))
                m_paint.headerFormat[static_cast<std::size_t>(c)] = item.fmt;
        }
        return CDRF_NOTIFYITEMDRAW;
    }
    if (stage == CDDS_ITEMPREPAINT)
        return CDRF_NOTIFYSUBITEMDRAW;
    if (stage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM))
        return CDRF_DODEFAULT;

    const int nItem = static_cast<int>(cd.nmcd.dwItemSpec);
    const int nSubItem = cd.iSubItem;
    if (nItem != m_paint.nItem) {
        m_paint.nItem = nItem;
        m_paint.bSelected =
            (::SendMessageW(m_hWnd, LVM_GETITEMSTATE, nItem, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    }
    // The item data is always the row's records or 0 (see WindowProc).
    auto* row = reinterpret_cast<Row*>(cd.nmcd.lItemlParam);
    if (row && (row->cells.empty() || static_cast<std::size_t>(nSubItem) >= row->cells.size()))
        row = nullptr;
    const XListCell* cell = row ? &row->cells[static_cast<std::size_t>(nSubItem)] : nullptr;
    const bool enabled = !row || row->cells[0].bRowEnabled;

    COLORREF crText = m_clrWindowText, crBack = m_clrWindow;
    if (cell) {
        crText = cell->clrText;
        crBack = cell->clrBack;
        if (!enabled)
            crText = m_clrGrayText;
    }
    cd.clrText = crText;
    cd.clrTextBk = crBack;
    RECT rc;
    if (!GetCellRect(nItem, nSubItem, rc))
        return CDRF_SKIPDEFAULT;
    HDC hDC = cd.nmcd.hdc;

    if (cell && cell->bProgress) {
        if (!IsEmpty(rc))
            DrawProgress(hDC, nItem, nSubItem, *cell, rc, crText);
        return CDRF_SKIPDEFAULT;
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
        return CDRF_SKIPDEFAULT;
    }
    rc.left += DrawImage(hDC, nItem, nSubItem, cell, rc, crBack);
    DrawCellText(hDC, nItem, nSubItem, cell, rc, crText, crBack);
    return CDRF_SKIPDEFAULT;
}

void CXListCtrl::DrawProgress(HDC hDC, int, int, const XListCell& cell, const RECT& cellRect,
                              COLORREF crText) {
    RECT r = cellRect;
    r.left += 1;
    r.bottom -= 1;
    FillSolidRect(hDC, r, kProgressBack);
    Draw3dRect(hDC, r, RGB(0, 0, 0), m_clrBtnShadow);
    if (cell.nPercent <= 0)
        return; // an empty bar has no text

    RECT fill{r.left + 1, r.top + 1, r.left + 1 + (r.right - r.left - 1) * cell.nPercent / 100 - 1,
              r.bottom - 1};
    FillSolidRect(hDC, fill, m_clrHighlight);
    if (!cell.bProgressText)
        return;

    wchar_t text[64];
    const int length = FormatPercent(cell.strProgressFormat, cell.nPercent, text);
    RECT textRect = r;
    InflateRect(&textRect, -1, -1);
    const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    CSaveDC saved(hDC);
    SetBkMode(hDC, TRANSPARENT);
    // The text changes colour exactly where the fill ends.
    IntersectClipRect(hDC, fill.left, fill.top, fill.right, fill.bottom);
    SetTextColor(hDC, m_clrHighlightText);
    ::DrawTextW(hDC, text, length, &textRect, flags);
    RestoreDC(hDC, -1);
    SaveDC(hDC);
    IntersectClipRect(hDC, fill.right, r.top + 1, r.right, r.bottom - 1);
    SetTextColor(hDC, crText);
    ::DrawTextW(hDC, text, length, &textRect, flags);
}

void CXListCtrl::DrawCheckbox(HDC hDC, int nItem, int nSubItem, const XListCell& cell,
                              const RECT& rc, COLORREF crText, COLORREF crBack, bool bEnabled) {
    FillSolidRect(hDC, rc, crBack);
    wchar_t text[kDrawTextMax];
    const int length = ReadCellText(m_hWnd, nItem, nSubItem, text);

    RECT box{rc.left + 9, rc.top, 0, rc.bottom - 1};
    const int side = box.bottom - box.top;
    if (length == 0)
        box.left = rc.left + (rc.right - rc.left) / 2 - side / 2 - 1;
    box.right = box.left + side;
    FillSolidRect(hDC, box, m_clrWindow);
    {
        CBrush frame(CreateSolidBrush(CXHeaderCtrl::kBoxFrame));
        FrameRect(hDC, &box, frame.Get());
    }
    if (cell.nCheck == 1) {
        CPen pen(CreatePen(PS_SOLID, 1, bEnabled ? CXHeaderCtrl::kTick : m_clrGrayText));
        CSelectObject select(hDC, pen.Get());
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
    auto hList =
        reinterpret_cast<HIMAGELIST>(::SendMessageW(m_hWnd, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
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
    wchar_t text[kDrawTextMax];
    const int length = ReadCellText(m_hWnd, nItem, nSubItem, text);
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
