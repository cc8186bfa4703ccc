#pragma once
// The column header of CXListCtrl, painted by the control itself: a flat
// button-face strip with two-tone dividers, per item an image (or a built-in
// 13 x 13 check box when the header has no image list) at the left, an
// optional bitmap at the right and the text with an end ellipsis. The list
// control uses the check box of an item as the check-all box of its column.
#include "framework/wnd.h"

#include <windows.h>

#include <commctrl.h>

class CXHeaderCtrl : public CWnd {
public:
    CXHeaderCtrl();
    ~CXHeaderCtrl() override;

    // Owner-drawn items are left blank: their owner paints nothing here.
    virtual void DrawItem(DRAWITEMSTRUCT* pDrawItemStruct);
    // Draws one item's content into `rect` (already inset by m_nImageSpacing
    // on both sides) on `hDC`.
    virtual void DrawItemContent(HDC hDC, RECT rect, HDITEMW* pItem);

    // Paints the whole header on `hDC` as WM_PAINT does (through a CXMemDC
    // when m_bDoubleBuffer is set); also answers WM_PRINTCLIENT.
    void Paint(HDC hDC);
    int GetSpacing() const { return m_nImageSpacing; }
    SIZE GetImageSize() const { return m_sizeImage; }
    int GetItemCount() const;
    // Reloads the button colours (on WM_SYSCOLORCHANGE).
    void LoadColors();

    int m_nTextFormat = -1; // DT_* alignment of item text; -1: from the item's format
    COLORREF m_clrItemText; // button text at construction, never refreshed
    int m_bDividers = 1;
    int m_bDoubleBuffer = 1;
    int m_nImageSpacing = 6;
    SIZE m_sizeImage{0, 0};
    COLORREF m_clrBtnHighlight = 0;
    COLORREF m_clrBtnShadow = 0;
    COLORREF m_clrBtnFace = 0;
    COLORREF m_clrBtnText = 0;

    // Counts the messages that may change items (insert, delete, set), so an
    // owner can keep what it read from the items until the count moves.
    unsigned m_nItemVersion = 1;

    // Geometry of the built-in check box, shared with the list's check-box cells.
    static constexpr int kBoxSize = 13;
    static constexpr COLORREF kBoxFrame = RGB(51, 102, 153);
    static constexpr COLORREF kTick = RGB(51, 153, 51);
    // The tick inside a box whose top-left corner is (left, top): seven
    // three-pixel vertical strokes, drawn with the pen selected in `hDC`.
    static void DrawTick(HDC hDC, int left, int top);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
