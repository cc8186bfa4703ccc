#include "controls/xheader_ctrl.h"

#include "controls/gdi.h"
#include "controls/xmemdc.h"

#include <algorithm>
#include <iterator>

CXHeaderCtrl::CXHeaderCtrl() : m_clrItemText(GetSysColor(COLOR_BTNTEXT)) {
    LoadColors();
}

CXHeaderCtrl::~CXHeaderCtrl() = default;

void CXHeaderCtrl::LoadColors() {
    m_clrBtnHighlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    m_clrBtnShadow = GetSysColor(COLOR_BTNSHADOW);
    m_clrBtnFace = GetSysColor(COLOR_BTNFACE);
    m_clrBtnText = GetSysColor(COLOR_BTNTEXT);
}

int CXHeaderCtrl::GetItemCount() const {
    return static_cast<int>(SendPastHook(HDM_GETITEMCOUNT, 0, 0));
}

void CXHeaderCtrl::DrawItem(DRAWITEMSTRUCT*) {}

void CXHeaderCtrl::DrawTick(HDC hDC, int left, int top) {
    const int x = left + 9, y = top + 3;
    // Four strokes stepping down-left, then three stepping up-left.
    static constexpr int kDx[7] = {0, -1, -2, -3, -4, -5, -6};
    static constexpr int kDy[7] = {0, 1, 2, 3, 4, 3, 2};
    for (int i = 0; i < 7; ++i) {
        MoveToEx(hDC, x + kDx[i], y + kDy[i], nullptr);
        LineTo(hDC, x + kDx[i], y + kDy[i] + 3);
    }
}

LRESULT CXHeaderCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(m_hWnd, &ps);
        if (hDC)
            Paint(hDC);
        EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_SYSCOLORCHANGE: {
        LRESULT r = Default();
        LoadColors();
        return r;
    }
    case WM_LBUTTONDBLCLK:
        // A fast second click on an item is still a click (a check-all box
        // clicked twice toggles twice).
        return ::SendMessageW(m_hWnd, WM_LBUTTONDOWN, wParam, lParam);
    case HDM_SETITEMW:
    case HDM_SETITEMA:
    case HDM_INSERTITEMW:
    case HDM_INSERTITEMA:
    case HDM_DELETEITEM:
        ++m_nItemVersion;
        return Default();
    case HDM_SETIMAGELIST:
        if (auto hList = reinterpret_cast<HIMAGELIST>(lParam)) {
            IMAGEINFO info{};
            if (ImageList_GetImageInfo(hList, 0, &info))
                m_sizeImage = {info.rcImage.right - info.rcImage.left,
                               info.rcImage.bottom - info.rcImage.top};
        }
        return Default();
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}

void CXHeaderCtrl::Paint(HDC hTarget) {
    if (!hTarget)
        return;
    CXMemDC memDC(m_bDoubleBuffer ? hTarget : nullptr);
    HDC hDC = m_bDoubleBuffer ? memDC.GetSafeHdc() : hTarget;

    RECT clip;
    if (GetClipBox(hDC, &clip) == ERROR)
        return;
    FillSolidRect(hDC, clip, m_clrBtnFace);

    CPen penHighlight(CreatePen(PS_SOLID, 1, m_clrBtnHighlight));
    CPen penShadow(CreatePen(PS_SOLID, 1, m_clrBtnShadow));
    HGDIOBJ oldPen = SelectObject(hDC, penShadow.Get());
    CSelectObject font(hDC, reinterpret_cast<HGDIOBJ>(SendPastHook(WM_GETFONT, 0, 0)));
    SetBkColor(hDC, m_clrBtnFace);
    SetTextColor(hDC, m_clrBtnText);

    const int count = GetItemCount();
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        const int index = static_cast<int>(SendPastHook(HDM_ORDERTOINDEX, i, 0));
        wchar_t text[160] = {};
        HDITEMW item{};
        item.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
        item.pszText = text;
        item.cchTextMax = static_cast<int>(std::size(text));
        if (!SendPastHook(HDM_GETITEMW, index, reinterpret_cast<LPARAM>(&item)))
            continue;
        RECT rc{};
        SendPastHook(HDM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rc));

        if (item.fmt & HDF_OWNERDRAW) {
            DRAWITEMSTRUCT dis{};
            dis.CtlType = ODT_BUTTON;
            dis.CtlID = static_cast<UINT>(GetDlgCtrlID(m_hWnd));
            dis.itemID = static_cast<UINT>(index);
            dis.itemAction = ODA_DRAWENTIRE;
            dis.hwndItem = m_hWnd;
            dis.hDC = hDC;
            dis.rcItem = rc;
            DrawItem(&dis);
        } else {
            RECT content = rc;
            content.left += m_nImageSpacing;
            content.right -= m_nImageSpacing;
            DrawItemContent(hDC, content, &item);
        }

        if (i < count - 1 && m_bDividers) {
            SelectObject(hDC, penShadow.Get());
            MoveToEx(hDC, rc.right - 1, rc.top + 2, nullptr);
            LineTo(hDC, rc.right - 1, rc.bottom - 2);
            SelectObject(hDC, penHighlight.Get());
            MoveToEx(hDC, rc.right, rc.top + 2, nullptr);
            LineTo(hDC, rc.right, rc.bottom - 2);
        }
        sum += item.cxy;
    }

    if (sum > 0) {
        RECT client = GetClientRect();
        Draw3dRect(hDC, {client.left, client.top, client.left + sum, client.bottom},
                   m_clrBtnHighlight, m_clrBtnShadow);
    }
    SelectObject(hDC, oldPen);
}

void CXHeaderCtrl::DrawItemContent(HDC hDC, RECT rect, HDITEMW* pItem) {
    SIZE bitmapSize{0, 0};
    HBITMAP hBitmap = (pItem->fmt & HDF_BITMAP) ? pItem->hbm : nullptr;
    if (hBitmap) {
        BITMAP bm{};
        if (GetObjectW(hBitmap, sizeof bm, &bm))
            bitmapSize = {bm.bmWidth, bm.bmHeight};
        else
            hBitmap = nullptr;
    }

    // Image part: the item's image, or the built-in check box when the header
    // has no image list.
    int w1 = 0;
    if (pItem->iImage != 0 && (pItem->mask & HDI_IMAGE)) {
        auto hList = reinterpret_cast<HIMAGELIST>(SendPastHook(HDM_GETIMAGELIST, 0, 0));
        if (hList) {
            if (rect.right - rect.left > 0) {
                const int top = (rect.top + rect.bottom) / 2 - (m_sizeImage.cy + 1) / 2;
                COLORREF oldBk = ImageList_SetBkColor(hList, GetBkColor(hDC));
                ImageList_DrawEx(hList, pItem->iImage, hDC, rect.left, top,
                                 std::min<int>(rect.right - rect.left, m_sizeImage.cx),
                                 m_sizeImage.cy, CLR_DEFAULT, CLR_DEFAULT, ILD_NORMAL);
                ImageList_SetBkColor(hList, oldBk);
                w1 = m_sizeImage.cx;
            }
        } else {
            RECT box{rect.left, rect.top + (rect.bottom - rect.top - kBoxSize) / 2, 0, 0};
            box.right = box.left + kBoxSize;
            box.bottom = box.top + kBoxSize;
            COLORREF oldBk = SetBkColor(hDC, GetSysColor(COLOR_WINDOW));
            FillSolidRect(hDC, box, GetSysColor(COLOR_WINDOW));
            CBrush frame(CreateSolidBrush(kBoxFrame));
            FrameRect(hDC, &box, frame.Get());
            if (pItem->iImage == 2) {
                CPen tick(CreatePen(PS_SOLID, 1, kTick));
                CSelectObject select(hDC, tick.Get());
                DrawTick(hDC, box.left, box.top);
            }
            SetBkColor(hDC, oldBk);
            w1 = kBoxSize;
        }
    }
    if (w1 != 0)
        rect.left += w1 + m_nImageSpacing;

    // Bitmap part, right-aligned, only when it fits.
    int w2 = 0;
    if (hBitmap && rect.right - rect.left > 0 && bitmapSize.cx <= rect.right - rect.left) {
        HDC hBitmapDC = CreateCompatibleDC(hDC);
        if (hBitmapDC) {
            HGDIOBJ old = SelectObject(hBitmapDC, hBitmap);
            if (BitBlt(hDC, rect.right - bitmapSize.cx,
                       (rect.top + rect.bottom) / 2 - bitmapSize.cy / 2, bitmapSize.cx,
                       bitmapSize.cy, hBitmapDC, 0, 0, SRCCOPY))
                w2 = bitmapSize.cx;
            SelectObject(hBitmapDC, old);
            DeleteDC(hBitmapDC);
        }
    }
    if (w2 != 0)
        rect.right -= w2 + m_nImageSpacing;

    if (rect.right - rect.left > 0 && (pItem->mask & HDI_TEXT) && (pItem->fmt & HDF_STRING) &&
        pItem->pszText) {
        SetTextColor(hDC, m_clrItemText);
        UINT flags;
        if (m_nTextFormat != -1)
            flags = static_cast<UINT>(m_nTextFormat);
        else if (pItem->fmt & HDF_CENTER)
            flags = DT_CENTER;
        else if (pItem->fmt & HDF_RIGHT)
            flags = DT_RIGHT;
        else
            flags = DT_LEFT;
        flags |= DT_END_ELLIPSIS | DT_VCENTER | DT_SINGLELINE;
        DrawTextW(hDC, pItem->pszText, -1, &rect, flags);
    }
}
