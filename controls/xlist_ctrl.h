#pragma once
// A report-mode list control that draws every cell itself: plain text, a
// check box, a progress bar with its percentage, a small image, bold text and
// per-cell colours, and a tooltip text per cell. Each row owns one record per
// column (XListCell) holding these properties; the row's item data points at
// them. The header is a CXHeaderCtrl whose item images act as check-all boxes
// above check-box columns. The control knows nothing of what its rows show.
#include "controls/xheader_ctrl.h"
#include "controls/xlist_messages.h"
#include "framework/gdi.h"
#include "framework/wnd.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CXEdit;
class CXCombo;

// The properties of one cell. Flags are 32-bit values holding 0 or 1.
struct XListCell {
    XListCell() = default;
    XListCell(COLORREF text, COLORREF back) : clrText(text), clrBack(back) {}

    int bRowEnabled = 1; // column 0's record governs the whole row
    int bBoldText = 0;
    int bChanged = 0; // the user changed the cell; never cleared by the control
    int nImageIndex = -1;
    std::wstring strTip;
    int bComboCell = 0;                                     // a click opens a drop-down choice list
    const std::vector<std::wstring>* pComboItems = nullptr; // its choices, not owned
    int nComboRows = 10;
    int nComboInitial = -1; // choice applied when the drop-down next opens
    int bEditCell = 0;      // a click opens an in-place text editor
    COLORREF clrText = 0;
    COLORREF clrBack = 0;
    int bProgress = 0; // a progress bar instead of the text
    int nPercent = 0;
    std::wstring strProgressFormat; // one integer placeholder; empty: "%d%%"
    int bProgressText = 1;
    int nCheck = -1;             // -1 no check box, 0 unchecked, 1 checked
    std::uintptr_t pAppData = 0; // the application's value (column 0's record)
};

class CXListCtrl : public CWnd {
public:
    CXListCtrl();
    ~CXListCtrl() override;

    // ---- Rows ----
    // Inserts an empty row at `nItem` (past the end appends) with one default
    // record per column, column 0 in the given colours. Returns the new row's
    // index, -1 for a negative index, or the list's failure value.
    int InsertRow(int nItem, COLORREF clrText, COLORREF clrBack);
    // Destroys the row's records and the row; 1 when the row existed.
    int DeleteRow(int nItem);
    // Destroys every row's records, then every row.
    int DeleteAllRows();
    int GetItemCount() const;
    int GetColumnCount() const;

    // ---- Cells (out-of-range row or column: no-op, 0; state queries -1) ----
    int SetCellText(int nItem, int nSubItem, const std::wstring& text);
    std::wstring GetCellText(int nItem, int nSubItem) const;
    int SetCellTip(int nItem, int nSubItem, const std::wstring& text);
    int SetRowAppData(int nItem, std::uintptr_t value);
    std::uintptr_t GetRowAppData(int nItem) const;

    int ShowCellProgress(int nItem, int nSubItem);
    int IsCellProgressShown(int nItem, int nSubItem) const;
    int SetCellProgress(int nItem, int nSubItem, int nPercent);
    int HideCellProgress(int nItem, int nSubItem);

    int SetCellCheck(int nItem, int nSubItem, int nCheck);
    int GetCellCheck(int nItem, int nSubItem) const;

    // Fields no operation of the list itself changes, offered for completeness.
    int SetRowEnabled(int nItem, int bEnabled);
    int IsRowEnabled(int nItem) const; // -1 when out of range
    int SetCellBold(int nItem, int nSubItem, int bBold);
    int SetCellImage(int nItem, int nSubItem, int nImage);
    int SetCellColors(int nItem, int nSubItem, COLORREF clrText, COLORREF clrBack);
    int SetComboCell(int nItem, int nSubItem, const std::vector<std::wstring>* pItems,
                     int nRows = 10, int nInitial = -1);
    int SetEditCell(int nItem, int nSubItem, int bEdit = 1);

    // The record of a cell, or null when out of range or the row has none.
    XListCell* GetCell(int nItem, int nSubItem);
    const XListCell* GetCell(int nItem, int nSubItem) const;

    // ---- Header check-all state: 0 none, 1 unchecked, 2 checked ----
    int GetHeaderCheck(int nSubItem) const; // -1 when out of range
    int SetHeaderCheck(int nSubItem, int nState);
    // Rows whose record for the column is checked (0 when out of range).
    int CountCheckedRows(int nSubItem) const;

    // The cell's bounds; for column 0 it ends where the next visible column
    // starts (the list reports the whole row there). 0 when out of range.
    int GetCellRect(int nItem, int nSubItem, RECT& rect) const;
    // Repaints the cell now (bounds grown by 2 pixels, erased) when any of
    // it is visible; a cell outside the client area costs nothing.
    void InvalidateCell(int nItem, int nSubItem);
    // While held (holds nest), a changed cell is only marked for painting;
    // the last release paints every marked cell in one go. For owners that
    // change many cells at once and want no full repaint afterwards.
    void HoldCellPaints();
    void ReleaseCellPaints();

    // Tooltips on the cells (each cell's strTip), off until enabled.
    void EnableToolTips(bool bEnable = true);
    // The tool under a client point: row * 1000 + column + 1, or -1 when the
    // point is on no cell.
    INT_PTR OnToolHitTest(POINT point, TOOLINFOW* pTI) const;

    void SetExtendedStyle(DWORD dwStyle);
    DWORD GetExtendedStyle() const;
    CXHeaderCtrl& GetHeaderCtrl() { return m_wndHeader; }

    // Reloads the colour cache from the system colours.
    void LoadColors();

    CXHeaderCtrl m_wndHeader;
    int m_bHeaderHooked = 0;
    int m_bEllipsis = 1;
    int m_bChanged = 0; // some cell's bChanged was set
    int m_nTextInset = 5;
    std::wstring m_strInitialText; // cell text when an editor opened
    std::unique_ptr<CXEdit> m_pEdit;
    int m_nEditRow = -1;
    int m_nEditColumn = -1;
    int m_nComboRow = -1;
    int m_nComboColumn = -1;
    RECT m_rcCombo{};
    std::unique_ptr<CXCombo> m_pCombo;

    // ---- In-place editors ----
    // Open a drop-down choice list or a text field over the cell. Nothing
    // opens on a column narrower than 5 pixels or a disabled row.
    void StartComboEdit(int nItem, int nSubItem);
    void StartTextEdit(int nItem, int nSubItem);

    // Colour cache; only the named entries are read while drawing.
    COLORREF m_cr3DFace = 0;
    COLORREF m_cr3DHighLight = 0;
    COLORREF m_cr3DShadow = 0;
    COLORREF m_crActiveCaption = 0;
    COLORREF m_clrBtnFace = 0;
    COLORREF m_clrBtnShadow = 0;
    COLORREF m_crBtnText = 0;
    COLORREF m_clrGrayText = 0;
    COLORREF m_clrHighlight = 0;
    COLORREF m_clrHighlightText = 0;
    COLORREF m_crInactiveCaption = 0;
    COLORREF m_crInactiveCaptionText = 0;
    COLORREF m_clrWindow = 0;
    COLORREF m_clrWindowText = 0;

    // The check box's frame and tick, made once (and again with the system
    // colours) instead of for every box drawn.
    CBrushHandle m_brBoxFrame;
    CPenHandle m_penTick;
    CPenHandle m_penTickDisabled;

    // Fill of a progress bar's frame.
    static constexpr COLORREF kProgressBack = RGB(224, 224, 224);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // One row's records, one per column; owned through the item's data.
    // `texts` mirrors the (sub)item texts the list holds, kept in step by
    // every message that sets one, so drawing and comparing a text costs no
    // round trip to the list.
    struct Row {
        std::vector<XListCell> cells;
        std::vector<std::wstring> texts;
    };
    // A text the cell shows, from the mirror or else from the list (into
    // `buffer`, `cchBuffer` characters).
    const wchar_t* CellText(int nItem, int nSubItem, const Row* pRow, wchar_t* buffer,
                            int cchBuffer, int& length) const;
    // Keeps the mirror in step with a text the list accepted from outside.
    void MirrorText(int nItem, int nSubItem, const void* pszText, bool bWide);
    void DrawCell(HDC hDC, int nItem, int nSubItem, const Row* pRow, const RECT& rc);

    Row* GetRow(int nItem) const;
    bool ValidCell(int nItem, int nSubItem) const;
    void HookHeader();
    void SetHeaderHooked(bool bHooked);
    void ReleaseAllRows();
    void ResyncRows();
    void ForgetChecks(const Row& row);
    void SetCheck(Row& row, int nSubItem, int nCheck);
    void SyncHeaderCheck(int nSubItem);
    void SendToParent(UINT msg, int nItem, int nSubItem);
    // In-place editing (its own source file).
    bool OnEditorMessage(UINT msg);
    bool OnEditorTimer(UINT_PTR nIDEvent);
    void EndComboEdit(bool bApply);
    void EndTextEdit(bool bStore);
    // Rows `pGone` (all rows for null) are leaving: an editor over one of
    // them ends without writing anywhere.
    void ForgetEditorRows(const Row* pGone);
    void RetireEditors(bool bNow);
    // The row of an open editor now (rows above it may have gone or moved);
    // -1 when its own row is gone.
    int FindEditorRow(const Row* pRow) const;
    const Row* m_pComboRowRecords = nullptr; // the rows the open editors belong to
    const Row* m_pEditRowRecords = nullptr;
    bool m_bComboApplyPending = false;
    bool m_bUpdatesLocked = false;
    bool m_bComboCancelByClick = false; // a click beside the cells closes without applying
    void CancelComboByClick();
    std::unique_ptr<CXCombo> m_pRetiredCombo; // freed outside their own handlers
    std::unique_ptr<CXEdit> m_pRetiredEdit;
    // Marks a whole row (every row for -1) for the next paint.
    void InvalidateRow(int nItem);

    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& cd);
    bool PaintCellRect(int nItem, int nSubItem, RECT& rect) const;
    bool OnEraseBackground(HDC hDC);
    bool OnLButtonDown(WPARAM wParam, LPARAM lParam);
    bool OnRButtonDown(LPARAM lParam);
    void OnKeyDown(WPARAM wParam);
    void OnColumnClick(int nSubItem);
    void OnNeedToolText(NMHDR& hdr);
    void RelayToolTip(UINT msg, WPARAM wParam, LPARAM lParam);

    void DrawProgress(HDC hDC, int nItem, int nSubItem, const XListCell& cell, const RECT& rc,
                      COLORREF crText);
    void DrawCheckbox(HDC hDC, int nItem, int nSubItem, const XListCell& cell, const RECT& rc,
                      COLORREF crText, COLORREF crBack, bool bEnabled);
    int DrawImage(HDC hDC, int nItem, int nSubItem, const XListCell* pCell, const RECT& rc,
                  COLORREF crBack);
    void DrawCellText(HDC hDC, int nItem, int nSubItem, const XListCell* pCell, const RECT& rc,
                      COLORREF crText, COLORREF crBack);

    std::vector<int> m_checkedCount; // per column, kept with every nCheck change
    // The rows' records by item index, in step with the list's items (every
    // message that adds, removes or reorders items passes through here);
    // null for an item without records. Each item's data points at its own.
    std::vector<std::unique_ptr<Row>> m_rows;
    std::unique_ptr<Row> m_pendingRow; // InsertRow's records until the item exists
    bool m_bOwnWrite = false;          // the control itself is setting item data or text
    // False once a text the mirror cannot follow was set (a callback text,
    // columns changed under rows): texts are then read from the list.
    bool m_bTextsMirrored = true;
    mutable int m_nColumns = -1; // header items, read when needed
    bool m_bRedraw = true;       // redrawing not switched off (WM_SETREDRAW)
    int m_nPaintHolds = 0;       // HoldCellPaints not yet released
    // Header check states by column as last read (-2 not read yet), valid
    // while the header's item version is m_nHeaderVersion.
    mutable std::vector<int> m_headerCheck;
    mutable unsigned m_nHeaderVersion = 0;
    // Read once per paint: what every cell of the paint needs.
    struct PaintState {
        bool bFocus = false;
        bool bFullRow = false;
        bool bShowSelAlways = false;
        int nItem = -1;
        bool bSelected = false;
        std::vector<int> headerFormat;
        // Cell bounds: the columns' left and right edges and the rows' height
        // are the same for every row, so they are read once per paint.
        std::vector<std::pair<int, int>> columnX;
        int nTop = 0, nRowTop = 0, nRowHeight = 0;
        RECT rcClip{};
        HIMAGELIST hImages = nullptr;
        const Row* pRow = nullptr; // the row of the cell being drawn
    } m_paint;
    HWND m_hToolTip = nullptr;
    INT_PTR m_nToolId = -1; // the tool the tooltip now shows
};
