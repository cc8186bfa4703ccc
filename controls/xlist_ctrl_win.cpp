#include "controls/xlist_ctrl.h"

#include "controls/cell_editors.h"

#include "controls/gdi.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace {

// Characters a tooltip request can take, terminator included.
constexpr int kTipBuffer = 80;

} // namespace

CXListCtrl::CXListCtrl() {
    LoadColors();
}

CXListCtrl::~CXListCtrl() {
    // The window may outlive the object (a subclassed dialog item): its items
    // must not keep pointers to records that go with us.
    if (m_hWnd)
        ReleaseAllRows();
    if (m_hToolTip)
        ::DestroyWindow(m_hToolTip);
}

void CXListCtrl::LoadColors() {
    m_cr3DFace = GetSysColor(COLOR_BTNFACE);
    m_cr3DHighLight = GetSysColor(COLOR_BTNHIGHLIGHT);
    m_cr3DShadow = GetSysColor(COLOR_BTNSHADOW);
    m_crActiveCaption = GetSysColor(COLOR_ACTIVECAPTION);
    m_clrBtnFace = GetSysColor(COLOR_BTNFACE);
    m_clrBtnShadow = GetSysColor(COLOR_BTNSHADOW);
    m_crBtnText = GetSysColor(COLOR_BTNTEXT);
    m_clrGrayText = GetSysColor(COLOR_GRAYTEXT);
    m_clrHighlight = GetSysColor(COLOR_HIGHLIGHT);
    m_clrHighlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_crInactiveCaption = GetSysColor(COLOR_INACTIVECAPTION);
    m_crInactiveCaptionText = GetSysColor(COLOR_INACTIVECAPTIONTEXT);
    m_clrWindow = GetSysColor(COLOR_WINDOW);
    m_clrWindowText = GetSysColor(COLOR_WINDOWTEXT);
    if (!m_brBoxFrame)
        m_brBoxFrame.Reset(CreateSolidBrush(CXHeaderCtrl::kBoxFrame));
    if (!m_penTick)
        m_penTick.Reset(CreatePen(PS_SOLID, 1, CXHeaderCtrl::kTick));
    m_penTickDisabled.Reset(CreatePen(PS_SOLID, 1, m_clrGrayText));
}

// ------------------------------------------------------------------ binding

void CXListCtrl::PreSubclassWindow() {
    // Items the list already has carry no records.
    m_rows.clear();
    m_rows.resize(
        static_cast<std::size_t>(std::max<LRESULT>(SendPastHook(LVM_GETITEMCOUNT, 0, 0), 0)));
    m_checkedCount.clear();
    m_nColumns = -1;
    m_bTextsMirrored = true;
    HookHeader();
}

void CXListCtrl::HookHeader() {
    if (m_bHeaderHooked)
        return;
    auto hHeader = reinterpret_cast<HWND>(SendPastHook(LVM_GETHEADER, 0, 0));
    if (hHeader && m_wndHeader.SubclassWindow(hHeader))
        m_bHeaderHooked = 1;
}

void CXListCtrl::SetHeaderHooked(bool bHooked) {
    // The list asks its header for the column order with every text it
    // stores. While drawing is held (a bulk fill), the header's hook is
    // lifted, as nothing the header does then needs it and every question
    // through the hook costs a round trip to the window server here; the
    // header may have changed meanwhile, so what was read from it is
    // dropped, and it repaints in its own look.
    if (!bHooked) {
        m_wndHeader.SuspendSubclass();
    } else if (m_wndHeader.IsSubclassSuspended()) {
        m_wndHeader.ResumeSubclass();
        ++m_wndHeader.m_nItemVersion;
        if (m_wndHeader.m_hWnd)
            ::InvalidateRect(m_wndHeader.m_hWnd, nullptr, FALSE);
    }
}

void CXListCtrl::SetExtendedStyle(DWORD dwStyle) {
    ::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwStyle);
}

DWORD CXListCtrl::GetExtendedStyle() const {
    return static_cast<DWORD>(SendPastHook(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

// ------------------------------------------------------------------ rows

int CXListCtrl::GetItemCount() const {
    return m_hWnd ? static_cast<int>(m_rows.size()) : 0;
}

int CXListCtrl::GetColumnCount() const {
    if (!m_wndHeader.m_hWnd)
        return 0;
    if (m_nColumns < 0)
        m_nColumns = m_wndHeader.GetItemCount();
    return m_nColumns;
}

CXListCtrl::Row* CXListCtrl::GetRow(int nItem) const {
    if (nItem < 0 || static_cast<std::size_t>(nItem) >= m_rows.size())
        return nullptr;
    return m_rows[static_cast<std::size_t>(nItem)].get();
}

void CXListCtrl::ResyncRows() {
    // The list reordered its items (a sort): each item's data tells which
    // row's records it carries.
    std::unordered_map<Row*, std::unique_ptr<Row>> owned;
    for (auto& row : m_rows)
        if (row)
            owned.emplace(row.get(), std::move(row));
    const int count = static_cast<int>(SendPastHook(LVM_GETITEMCOUNT, 0, 0));
    m_rows.clear();
    m_rows.resize(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        if (!SendPastHook(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            continue;
        auto it = owned.find(reinterpret_cast<Row*>(item.lParam));
        if (it != owned.end()) {
            m_rows[static_cast<std::size_t>(i)] = std::move(it->second);
            owned.erase(it);
        }
    }
    for (auto& [pointer, row] : owned)
        ForgetChecks(*row);
}

void CXListCtrl::ForgetChecks(const Row& row) {
    for (std::size_t c = 0; c < row.cells.size() && c < m_checkedCount.size(); ++c)
        if (row.cells[c].nCheck == 1)
            --m_checkedCount[c];
}

bool CXListCtrl::ValidCell(int nItem, int nSubItem) const {
    return m_hWnd && nItem >= 0 && nItem < GetItemCount() && nSubItem >= 0 &&
           nSubItem < GetColumnCount();
}

XListCell* CXListCtrl::GetCell(int nItem, int nSubItem) {
    if (!ValidCell(nItem, nSubItem))
        return nullptr;
    Row* row = GetRow(nItem);
    if (!row || static_cast<std::size_t>(nSubItem) >= row->cells.size())
        return nullptr;
    return &row->cells[static_cast<std::size_t>(nSubItem)];
}

const XListCell* CXListCtrl::GetCell(int nItem, int nSubItem) const {
    return const_cast<CXListCtrl*>(this)->GetCell(nItem, nSubItem);
}

int CXListCtrl::InsertRow(int nItem, COLORREF clrText, COLORREF clrBack) {
    if (nItem < 0 || !m_hWnd)
        return -1;
    auto row = std::make_unique<Row>();
    row->cells.assign(static_cast<std::size_t>(std::max(GetColumnCount(), 0)),
                      XListCell(m_clrWindowText, m_clrWindow));
    row->texts.resize(row->cells.size());
    if (!row->cells.empty()) {
        row->cells[0].clrText = clrText;
        row->cells[0].clrBack = clrBack;
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = nItem;
    item.pszText = const_cast<wchar_t*>(L"");
    item.lParam = reinterpret_cast<LPARAM>(row.get());
    m_pendingRow = std::move(row); // taken over when the list has the item
    m_bOwnWrite = true;
    int result =
        static_cast<int>(SendPastHook(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    m_bOwnWrite = false;
    if (m_pendingRow && result >= 0 && static_cast<std::size_t>(result) <= m_rows.size())
        m_rows.insert(m_rows.begin() + result, std::move(m_pendingRow));
    m_pendingRow.reset();
    return result;
}

void CXListCtrl::ReleaseAllRows() {
    // The items stay: their data must not point at records that are gone.
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i])
            continue;
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        m_bOwnWrite = true;
        ::SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        m_bOwnWrite = false;
        m_rows[i].reset();
    }
    m_checkedCount.clear();
}

int CXListCtrl::DeleteRow(int nItem) {
    if (!m_hWnd || nItem < 0 || nItem >= GetItemCount())
        return 0;
    // The records go with the item (see LVM_DELETEITEM in WindowProc).
    return ::SendMessageW(m_hWnd, LVM_DELETEITEM, nItem, 0) ? 1 : 0;
}

int CXListCtrl::DeleteAllRows() {
    if (!m_hWnd)
        return 0;
    return ::SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0) ? 1 : 0;
}

// ------------------------------------------------------------------ cells

int CXListCtrl::SetCellText(int nItem, int nSubItem, const std::wstring& text) {
    if (!ValidCell(nItem, nSubItem))
        return 0;
    Row* row = GetRow(nItem);
    const bool mirrored =
        m_bTextsMirrored && row && static_cast<std::size_t>(nSubItem) < row->texts.size();
    // A text the cell already shows is not written again: that would only
    // cost a repaint the user cannot see.
    if (mirrored ? row->texts[static_cast<std::size_t>(nSubItem)] == text
                 : GetCellText(nItem, nSubItem) == text)
        return 1;
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    m_bOwnWrite = true;
    int result =
        static_cast<int>(SendPastHook(LVM_SETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
    m_bOwnWrite = false;
    if (result && mirrored)
        row->texts[static_cast<std::size_t>(nSubItem)] = text;
    InvalidateCell(nItem, nSubItem);
    return result;
}

std::wstring CXListCtrl::GetCellText(int nItem, int nSubItem) const {
    if (!ValidCell(nItem, nSubItem))
        return {};
    if (const Row* row = GetRow(nItem);
        m_bTextsMirrored && row && static_cast<std::size_t>(nSubItem) < row->texts.size())
        return row->texts[static_cast<std::size_t>(nSubItem)];
    // The list reports how many characters it copied; a full buffer may mean
    // a longer text, so grow and ask again.
    std::wstring text(64, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = nSubItem;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        int got = static_cast<int>(
            SendPastHook(LVM_GETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
        if (got < 0)
            got = 0;
        if (static_cast<std::size_t>(got) + 1 < text.size() || text.size() >= (1u << 20)) {
            text.resize(
                static_cast<std::size_t>(std::min<int>(got, static_cast<int>(text.size()))));
            return text;
        }
        text.assign(text.size() * 4, L'\0');
    }
}

const wchar_t* CXListCtrl::CellText(int nItem, int nSubItem, const Row* pRow, wchar_t* buffer,
                                    int cchBuffer, int& length) const {
    if (m_bTextsMirrored && pRow && nSubItem >= 0 &&
        static_cast<std::size_t>(nSubItem) < pRow->texts.size()) {
        const std::wstring& text = pRow->texts[static_cast<std::size_t>(nSubItem)];
        length = static_cast<int>(text.size());
        return text.c_str();
    }
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = buffer;
    item.cchTextMax = cchBuffer;
    buffer[0] = L'\0';
    int got =
        static_cast<int>(SendPastHook(LVM_GETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
    length = std::clamp(got, 0, cchBuffer - 1);
    return buffer;
}

void CXListCtrl::MirrorText(int nItem, int nSubItem, const void* pszText, bool bWide) {
    if (!m_bTextsMirrored)
        return;
    if (pszText == LPSTR_TEXTCALLBACKW) {
        m_bTextsMirrored = false; // the owner supplies it while drawing
        return;
    }
    Row* row = GetRow(nItem);
    if (!row || nSubItem < 0 || static_cast<std::size_t>(nSubItem) >= row->texts.size())
        return;
    std::wstring& mirror = row->texts[static_cast<std::size_t>(nSubItem)];
    if (!pszText) {
        mirror.clear();
    } else if (bWide) {
        mirror = static_cast<const wchar_t*>(pszText);
    } else {
        const char* ansi = static_cast<const char*>(pszText);
        int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
        mirror.assign(static_cast<std::size_t>(std::max(n - 1, 0)), L'\0');
        if (n > 1)
            MultiByteToWideChar(CP_ACP, 0, ansi, -1, mirror.data(), n);
    }
}

int CXListCtrl::SetCellTip(int nItem, int nSubItem, const std::wstring& text) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->strTip = text;
    return 1;
}

int CXListCtrl::SetRowAppData(int nItem, std::uintptr_t value) {
    XListCell* cell = GetCell(nItem, 0);
    if (!cell)
        return 0;
    cell->pAppData = value;
    return 1;
}

std::uintptr_t CXListCtrl::GetRowAppData(int nItem) const {
    const XListCell* cell = GetCell(nItem, 0);
    return cell ? cell->pAppData : 0;
}

int CXListCtrl::ShowCellProgress(int nItem, int nSubItem) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->bProgress = 1;
    cell->nPercent = 0;
    cell->bProgressText = 1;
    cell->strProgressFormat = L"%d %%";
    InvalidateCell(nItem, nSubItem);
    return 1;
}

int CXListCtrl::IsCellProgressShown(int nItem, int nSubItem) const {
    const XListCell* cell = GetCell(nItem, nSubItem);
    return cell ? cell->bProgress : 0;
}

int CXListCtrl::SetCellProgress(int nItem, int nSubItem, int nPercent) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    // An unchanged bar is not drawn again (the run's tick sets it every time).
    if (cell->nPercent != nPercent) {
        cell->nPercent = nPercent;
        InvalidateCell(nItem, nSubItem);
    }
    return 1;
}

int CXListCtrl::HideCellProgress(int nItem, int nSubItem) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->bProgress = 0;
    cell->nPercent = 0;
    InvalidateCell(nItem, nSubItem);
    return 1;
}

void CXListCtrl::SetCheck(Row& row, int nSubItem, int nCheck) {
    XListCell& cell = row.cells[static_cast<std::size_t>(nSubItem)];
    if (m_checkedCount.size() <= static_cast<std::size_t>(nSubItem))
        m_checkedCount.resize(static_cast<std::size_t>(nSubItem) + 1, 0);
    m_checkedCount[static_cast<std::size_t>(nSubItem)] += (nCheck == 1) - (cell.nCheck == 1);
    cell.nCheck = nCheck;
}

int CXListCtrl::SetCellCheck(int nItem, int nSubItem, int nCheck) {
    if (!GetCell(nItem, nSubItem))
        return 0;
    Row& row = *GetRow(nItem);
    if (row.cells[static_cast<std::size_t>(nSubItem)].nCheck != nCheck) {
        SetCheck(row, nSubItem, nCheck);
        InvalidateCell(nItem, nSubItem);
    }
    SyncHeaderCheck(nSubItem);
    return 1;
}

int CXListCtrl::GetCellCheck(int nItem, int nSubItem) const {
    const XListCell* cell = GetCell(nItem, nSubItem);
    return cell ? cell->nCheck : -1;
}

int CXListCtrl::SetRowEnabled(int nItem, int bEnabled) {
    XListCell* cell = GetCell(nItem, 0);
    if (!cell)
        return 0;
    cell->bRowEnabled = bEnabled ? 1 : 0;
    // The list reads which part of the item to report from the rectangle.
    RECT rc{LVIR_BOUNDS, 0, 0, 0};
    if (SendPastHook(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&rc))) {
        ::InvalidateRect(m_hWnd, &rc, TRUE);
        ::UpdateWindow(m_hWnd);
    }
    return 1;
}

int CXListCtrl::IsRowEnabled(int nItem) const {
    const XListCell* cell = GetCell(nItem, 0);
    return cell ? cell->bRowEnabled : -1;
}

int CXListCtrl::SetCellBold(int nItem, int nSubItem, int bBold) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->bBoldText = bBold ? 1 : 0;
    InvalidateCell(nItem, nSubItem);
    return 1;
}

int CXListCtrl::SetCellImage(int nItem, int nSubItem, int nImage) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->nImageIndex = nImage;
    InvalidateCell(nItem, nSubItem);
    return 1;
}

int CXListCtrl::SetCellColors(int nItem, int nSubItem, COLORREF clrText, COLORREF clrBack) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->clrText = clrText;
    cell->clrBack = clrBack;
    InvalidateCell(nItem, nSubItem);
    return 1;
}

int CXListCtrl::SetComboCell(int nItem, int nSubItem, const std::vector<std::wstring>* pItems,
                             int nRows, int nInitial) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->bComboCell = pItems ? 1 : 0;
    cell->pComboItems = pItems;
    cell->nComboRows = nRows;
    cell->nComboInitial = nInitial;
    return 1;
}

int CXListCtrl::SetEditCell(int nItem, int nSubItem, int bEdit) {
    XListCell* cell = GetCell(nItem, nSubItem);
    if (!cell)
        return 0;
    cell->bEditCell = bEdit ? 1 : 0;
    return 1;
}

// ------------------------------------------------------------------ header check

int CXListCtrl::GetHeaderCheck(int nSubItem) const {
    if (!m_wndHeader.m_hWnd || nSubItem < 0 || nSubItem >= GetColumnCount())
        return -1;
    // The header's images change only through its item messages, which the
    // header counts: the states read last stay good until the count moves.
    if (m_nHeaderVersion != m_wndHeader.m_nItemVersion) {
        m_headerCheck.assign(static_cast<std::size_t>(GetColumnCount()), -2);
        m_nHeaderVersion = m_wndHeader.m_nItemVersion;
    }
    if (static_cast<std::size_t>(nSubItem) >= m_headerCheck.size())
        m_headerCheck.resize(static_cast<std::size_t>(nSubItem) + 1, -2);
    int& state = m_headerCheck[static_cast<std::size_t>(nSubItem)];
    if (state == -2) {
        HDITEMW item{};
        item.mask = HDI_IMAGE;
        if (!m_wndHeader.SendPastHook(HDM_GETITEMW, nSubItem, reinterpret_cast<LPARAM>(&item)))
            return -1;
        state = item.iImage;
    }
    return state;
}

int CXListCtrl::SetHeaderCheck(int nSubItem, int nState) {
    const int current = GetHeaderCheck(nSubItem);
    if (current < 0)
        return 0;
    if (current == nState)
        return 1; // nothing to redraw
    HDITEMW item{};
    item.mask = HDI_IMAGE;
    item.iImage = nState;
    ::SendMessageW(m_wndHeader.m_hWnd, HDM_SETITEMW, nSubItem, reinterpret_cast<LPARAM>(&item));
    // Known without asking, also while the header's hook is lifted and its
    // item changes go uncounted.
    if (GetHeaderCheck(nSubItem) >= 0)
        m_headerCheck[static_cast<std::size_t>(nSubItem)] = nState;
    return 1;
}

int CXListCtrl::CountCheckedRows(int nSubItem) const {
    if (nSubItem < 0 || nSubItem >= GetColumnCount() ||
        static_cast<std::size_t>(nSubItem) >= m_checkedCount.size())
        return 0;
    return m_checkedCount[static_cast<std::size_t>(nSubItem)];
}

void CXListCtrl::SyncHeaderCheck(int nSubItem) {
    const int state = GetHeaderCheck(nSubItem);
    if (state == 0 || state == -1)
        return;
    SetHeaderCheck(nSubItem, CountCheckedRows(nSubItem) == GetItemCount() ? 2 : 1);
}

void CXListCtrl::OnColumnClick(int nSubItem) {
    const int state = GetHeaderCheck(nSubItem);
    if (state <= 0)
        return;
    const int next = state == 1 ? 2 : 1;
    SetHeaderCheck(nSubItem, next);
    ::UpdateWindow(m_wndHeader.m_hWnd);
    const int count = GetItemCount();
    for (int i = 0; i < count; ++i) {
        Row* row = GetRow(i);
        if (!row || static_cast<std::size_t>(nSubItem) >= row->cells.size())
            continue;
        XListCell& cell = row->cells[static_cast<std::size_t>(nSubItem)];
        if (cell.nCheck == -1)
            continue;
        SetCheck(*row, nSubItem, next - 1);
        cell.bChanged = 1;
        m_bChanged = 1;
        InvalidateCell(i, nSubItem);
    }
}

// ------------------------------------------------------------------ geometry

int CXListCtrl::GetCellRect(int nItem, int nSubItem, RECT& rect) const {
    if (!ValidCell(nItem, nSubItem))
        return 0;
    RECT rc{LVIR_BOUNDS, nSubItem, 0, 0};
    if (!SendPastHook(LVM_GETSUBITEMRECT, nItem, reinterpret_cast<LPARAM>(&rc)))
        return 0;
    if (nSubItem == 0) {
        // The list reports the whole row for column 0: it ends where the next
        // column with a width begins.
        const int columns = GetColumnCount();
        int next = 0;
        for (int c = 1; c < columns && !next; ++c)
            if (SendPastHook(LVM_GETCOLUMNWIDTH, c, 0) > 0)
                next = c;
        if (!next && columns > 1)
            next = 1;
        if (next) {
            RECT nextRc{LVIR_BOUNDS, next, 0, 0};
            if (SendPastHook(LVM_GETSUBITEMRECT, nItem, reinterpret_cast<LPARAM>(&nextRc)))
                rc.right = nextRc.left;
        }
    }
    rect = rc;
    return 1;
}

void CXListCtrl::InvalidateCell(int nItem, int nSubItem) {
    // A hidden list (or one whose redrawing is switched off) and a cell
    // outside the visible client area cost no paint.
    if (!m_hWnd || !m_bRedraw || !IsWindowVisible(m_hWnd))
        return;
    RECT rc;
    if (!GetCellRect(nItem, nSubItem, rc))
        return;
    InflateRect(&rc, 2, 2);
    RECT client = GetClientRect(), visible;
    if (!IntersectRect(&visible, &rc, &client))
        return;
    ::InvalidateRect(m_hWnd, &rc, TRUE);
    if (m_nPaintHolds == 0)
        ::UpdateWindow(m_hWnd);
}

void CXListCtrl::HoldCellPaints() {
    ++m_nPaintHolds;
}

void CXListCtrl::ReleaseCellPaints() {
    if (m_nPaintHolds > 0 && --m_nPaintHolds == 0 && m_hWnd)
        ::UpdateWindow(m_hWnd);
}

void CXListCtrl::InvalidateRow(int nItem) {
    if (nItem < 0) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    RECT rc{LVIR_BOUNDS, 0, 0, 0};
    if (SendPastHook(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&rc)))
        ::InvalidateRect(m_hWnd, &rc, FALSE);
}

// ------------------------------------------------------------------ messages

void CXListCtrl::SendToParent(UINT msg, int nItem, int nSubItem) {
    HWND target = ::GetParent(m_hWnd);
    if (!target)
        target = ::GetWindow(m_hWnd, GW_OWNER);
    if (target && ::IsWindow(target))
        ::SendMessageW(target, msg, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nSubItem));
}

LRESULT CXListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (OnEditorMessage(msg))
        return 0;
    switch (msg) {
    case WM_TIMER:
        if (OnEditorTimer(wParam))
            return 0;
        return Default();
    case WM_NCLBUTTONDOWN:
        if (m_pEdit)
            EndTextEdit(true);
        return Default();
    case LVM_DELETEITEM: {
        // Whoever deletes an item, its records go with it, once the list's
        // own notifications about the item are over.
        LRESULT r = Default();
        const auto i = static_cast<std::size_t>(wParam);
        if (r && i < m_rows.size()) {
            ForgetEditorRows(m_rows[i].get());
            if (m_rows[i])
                ForgetChecks(*m_rows[i]);
            m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
            // The row gone may have been the only unchecked one. An empty
            // list keeps its header as it was: it has no rows to check.
            if (!m_rows.empty())
                for (int c = 0; c < GetColumnCount(); ++c)
                    SyncHeaderCheck(c);
        }
        return r;
    }
    case LVM_DELETEALLITEMS: {
        LRESULT r = Default();
        if (r) {
            ForgetEditorRows(nullptr);
            m_rows.clear();
            m_checkedCount.clear();
        }
        return r;
    }
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX: {
        LRESULT r = Default();
        ResyncRows();
        return r;
    }
    case LVM_INSERTITEMW:
    case LVM_INSERTITEMA:
    case LVM_SETITEMW:
    case LVM_SETITEMA: {
        const bool insert = msg == LVM_INSERTITEMW || msg == LVM_INSERTITEMA;
        if (m_bOwnWrite || !lParam) {
            LRESULT r = Default();
            if (insert && r >= 0 && static_cast<std::size_t>(r) <= m_rows.size())
                m_rows.insert(m_rows.begin() + r, std::move(m_pendingRow));
            return r;
        }
        // LVITEMA and LVITEMW share their layout up to the text pointer.
        auto* item = reinterpret_cast<LVITEMW*>(lParam);
        const bool wide = msg == LVM_INSERTITEMW || msg == LVM_SETITEMW;
        const bool setText =
            (msg == LVM_SETITEMW || msg == LVM_SETITEMA) && (item->mask & LVIF_TEXT);
        LRESULT r;
        if (item->mask & LVIF_PARAM) {
            // The item data is the row's records and nothing else: a value
            // given from outside would be taken for records. The caller's
            // item is left as it came.
            item->mask &= ~static_cast<UINT>(LVIF_PARAM);
            r = Default();
            item->mask |= LVIF_PARAM;
        } else {
            r = Default();
        }
        if (insert && r >= 0 && static_cast<std::size_t>(r) <= m_rows.size())
            m_rows.insert(m_rows.begin() + r, nullptr); // an item without records
        else if (!insert && r && setText)
            MirrorText(item->iItem, item->iSubItem, item->pszText, wide);
        return r;
    }
    case LVM_SETITEMTEXTW:
    case LVM_SETITEMTEXTA: {
        LRESULT r = Default();
        if (r && !m_bOwnWrite && lParam) {
            auto* item = reinterpret_cast<LVITEMW*>(lParam);
            MirrorText(static_cast<int>(wParam), item->iSubItem, item->pszText,
                       msg == LVM_SETITEMTEXTW);
        }
        return r;
    }
    case LVM_INSERTCOLUMNW:
    case LVM_INSERTCOLUMNA:
    case LVM_DELETECOLUMN:
        // Sub-item numbers of the rows' texts would move under the mirror.
        if (GetItemCount() > 0)
            m_bTextsMirrored = false;
        m_nColumns = -1;
        return Default();
    case WM_LBUTTONDOWN:
        RelayToolTip(msg, wParam, lParam);
        if (OnLButtonDown(wParam, lParam))
            return 0;
        return Default();
    case WM_RBUTTONDOWN:
        RelayToolTip(msg, wParam, lParam);
        if (OnRButtonDown(lParam))
            return 0;
        return Default();
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        RelayToolTip(msg, wParam, lParam);
        return Default();
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return 0;
    case WM_PAINT: {
        // A paint of the list asks the header for the column order and the
        // places of its items again and again, and each question through the
        // header's hook costs a round trip to the window server here. The
        // hook is lifted for the paint unless the header itself waits to be
        // painted: the list view may then paint it in the middle of its own
        // paint, and that must go through the hook.
        const bool lifted = m_wndHeader.m_hWnd &&
                            !::GetUpdateRect(m_wndHeader.m_hWnd, nullptr, FALSE) &&
                            m_wndHeader.SuspendSubclass();
        LRESULT r = Default();
        if (lifted)
            m_wndHeader.ResumeSubclass();
        return r;
    }
    case WM_ERASEBKGND:
        if (OnEraseBackground(reinterpret_cast<HDC>(wParam)))
            return 1;
        return Default();
    case WM_SETREDRAW:
        // While the owner fills the list with redrawing off, a changed cell
        // waits for the one repaint that follows.
        m_bRedraw = wParam != 0;
        SetHeaderHooked(m_bRedraw);
        return Default();
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        // Selected rows change colours with the focus.
        LRESULT r = Default();
        const int top = static_cast<int>(SendPastHook(LVM_GETTOPINDEX, 0, 0));
        const int last = std::min(top + static_cast<int>(SendPastHook(LVM_GETCOUNTPERPAGE, 0, 0)),
                                  GetItemCount() - 1);
        for (int i = std::max(top, 0); i <= last; ++i)
            if (SendPastHook(LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED)
                InvalidateRow(i);
        return r;
    }
    case WM_SYSCOLORCHANGE: {
        LRESULT r = Default();
        LoadColors();
        if (m_wndHeader.m_hWnd)
            ::SendMessageW(m_wndHeader.m_hWnd, WM_SYSCOLORCHANGE, wParam, lParam);
        return r;
    }
    case WM_DESTROY:
        SetHeaderHooked(true); // the header object must hear of its window's end
        RetireEditors(true);
        ReleaseAllRows();
        m_bHeaderHooked = 0;
        if (m_hToolTip) {
            ::DestroyWindow(m_hToolTip);
            m_hToolTip = nullptr;
            m_nToolId = -1;
        }
        return Default();
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && (hdr->code == TTN_NEEDTEXTW || hdr->code == TTN_NEEDTEXTA)) {
            if (hdr->idFrom == 0)
                return 0; // not one of our cell tools
            OnNeedToolText(*hdr);
            return Default();
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}

bool CXListCtrl::OnReflect(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg != WM_NOTIFY)
        return false;
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr || hdr->hwndFrom != m_hWnd)
        return false;
    switch (hdr->code) {
    case NM_CUSTOMDRAW:
        result = OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        return true; // the parent does not see it
    case LVN_ITEMCHANGED: {
        // The selection colours fill whole cells of every column; the list
        // itself repaints only part of a row whose selection changed.
        const auto& change = *reinterpret_cast<NMLISTVIEW*>(lParam);
        if ((change.uChanged & LVIF_STATE) &&
            ((change.uOldState ^ change.uNewState) & (LVIS_SELECTED | LVIS_FOCUSED)))
            InvalidateRow(change.iItem);
        return false;
    }
    case LVN_COLUMNCLICK:
        OnColumnClick(reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem);
        return false; // the parent sees it after us, with the new header state
    default:
        return false;
    }
}

bool CXListCtrl::OnLButtonDown(WPARAM, LPARAM lParam) {
    POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    LVHITTESTINFO ht{};
    ht.pt = pt;
    SendPastHook(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&ht));
    if (ht.iItem < 0 || !(ht.flags & LVHT_ONITEM)) {
        CancelComboByClick();
        return false;
    }
    Row* row = GetRow(ht.iItem);
    if (!row || row->cells.empty() || !row->cells[0].bRowEnabled)
        return true; // swallowed: the selection stays as it is
    const int columns = std::min<int>(GetColumnCount(), static_cast<int>(row->cells.size()));
    int column = -1;
    for (int c = 0; c < columns && column < 0; ++c) {
        RECT rc;
        if (GetCellRect(ht.iItem, c, rc) && PtInRect(&rc, pt))
            column = c;
    }
    if (column < 0) {
        CancelComboByClick();
        return false;
    }
    XListCell& cell = row->cells[static_cast<std::size_t>(column)];
    if (cell.nCheck >= 0) {
        SetCheck(*row, column, cell.nCheck == 0 ? 1 : 0);
        cell.bChanged = 1;
        m_bChanged = 1;
        InvalidateCell(ht.iItem, column);
        // The owner hears of the toggle before the list's own click handling
        // selects the row and reports the change of selection.
        SendToParent(WM_XLISTCTRL_CHECKBOX_CLICKED, ht.iItem, column);
        SyncHeaderCheck(column);
    } else if (cell.bComboCell || cell.bEditCell) {
        // The list selects the row first; the editor then opens over it and
        // keeps the focus the list's click handling would otherwise take.
        const bool combo = cell.bComboCell != 0;
        Default();
        if (combo)
            StartComboEdit(ht.iItem, column);
        else
            StartTextEdit(ht.iItem, column);
        return true;
    }
    return false;
}

bool CXListCtrl::OnRButtonDown(LPARAM lParam) {
    LVHITTESTINFO ht{};
    ht.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    SendPastHook(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&ht));
    if (ht.iItem < 0 || !(ht.flags & LVHT_ONITEM))
        return false;
    Row* row = GetRow(ht.iItem);
    return !row || row->cells.empty() || !row->cells[0].bRowEnabled;
}

void CXListCtrl::OnKeyDown(WPARAM key) {
    const int before = static_cast<int>(SendPastHook(LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    Default();
    const int after = static_cast<int>(SendPastHook(LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (after < 0)
        return;
    auto enabled = [this](int i) { return IsRowEnabled(i) == 1; };
    const int count = GetItemCount();
    int target = after;
    if (!enabled(after)) {
        target = -1;
        if (key == VK_DOWN || key == VK_NEXT) {
            for (int i = after + 1; i < count && target < 0; ++i)
                if (enabled(i))
                    target = i;
            for (int i = count - 1; i >= 0 && target < 0; --i)
                if (enabled(i))
                    target = i;
        } else if (key == VK_UP || key == VK_PRIOR) {
            for (int i = after - 1; i >= 0 && target < 0; --i)
                if (enabled(i))
                    target = i;
            for (int i = 0; i < count && target < 0; ++i)
                if (enabled(i))
                    target = i;
        }
        if (target < 0)
            target = before;
    }
    if (target < 0)
        return; // no enabled row to go to, and none was selected before
    if (target != after) {
        // A disabled row refuses the selection, from keys as from clicks.
        LVITEMW off{};
        off.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(m_hWnd, LVM_SETITEMSTATE, after, reinterpret_cast<LPARAM>(&off));
    }
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(m_hWnd, LVM_SETITEMSTATE, target, reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(m_hWnd, LVM_ENSUREVISIBLE, target, FALSE);
}

bool CXListCtrl::OnEraseBackground(HDC hDC) {
    const int count = GetItemCount();
    RECT clip;
    if (count == 0 || !hDC || GetClipBox(hDC, &clip) == ERROR)
        return false;
    const int top = static_cast<int>(SendPastHook(LVM_GETTOPINDEX, 0, 0));
    const int perPage = static_cast<int>(SendPastHook(LVM_GETCOUNTPERPAGE, 0, 0));
    const int last = std::min(top + perPage, count - 1);
    RECT rcTop{LVIR_BOUNDS, 0, 0, 0}, rcLast{LVIR_BOUNDS, 0, 0, 0};
    if (!SendPastHook(LVM_GETITEMRECT, top, reinterpret_cast<LPARAM>(&rcTop)) ||
        !SendPastHook(LVM_GETITEMRECT, last, reinterpret_cast<LPARAM>(&rcLast)))
        return false;
    FillSolidRect(hDC, {clip.left, clip.top, clip.right, std::min(rcTop.top, clip.bottom)},
                  m_clrWindow);
    FillSolidRect(hDC, {clip.left, std::max(rcLast.bottom, clip.top), clip.right, clip.bottom},
                  m_clrWindow);
    FillSolidRect(hDC,
                  {std::max(rcTop.right, clip.left), std::max(rcTop.top, clip.top), clip.right,
                   std::min(rcLast.bottom, clip.bottom)},
                  m_clrWindow);
    return true;
}

// ------------------------------------------------------------------ tooltips

void CXListCtrl::EnableToolTips(bool bEnable) {
    if (!bEnable) {
        if (m_hToolTip)
            ::DestroyWindow(m_hToolTip);
        m_hToolTip = nullptr;
        m_nToolId = -1;
        return;
    }
    if (m_hToolTip || !m_hWnd)
        return;
    m_hToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (m_hToolTip)
        ::SendMessageW(m_hToolTip, TTM_SETMAXTIPWIDTH, 0, 600);
}

INT_PTR CXListCtrl::OnToolHitTest(POINT point, TOOLINFOW* pTI) const {
    LVHITTESTINFO ht{};
    ht.pt = point;
    SendPastHook(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&ht));
    if (ht.iItem < 0 || ht.iSubItem < 0 || !(ht.flags & LVHT_ONITEM))
        return -1;
    const INT_PTR id = static_cast<INT_PTR>(ht.iItem) * 1000 + ht.iSubItem + 1;
    if (pTI) {
        pTI->hwnd = m_hWnd;
        pTI->uId = static_cast<UINT_PTR>(id);
        pTI->rect = GetClientRect();
        pTI->lpszText = LPSTR_TEXTCALLBACKW;
    }
    return id;
}

void CXListCtrl::RelayToolTip(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_hToolTip)
        return;
    POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    const INT_PTR id = OnToolHitTest(pt, &ti);
    if (id != m_nToolId) {
        if (m_nToolId != -1) {
            TOOLINFOW old{};
            old.cbSize = sizeof old;
            old.hwnd = m_hWnd;
            old.uId = static_cast<UINT_PTR>(m_nToolId);
            ::SendMessageW(m_hToolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&old));
        }
        m_nToolId = id;
        if (id != -1)
            ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    MSG m{};
    m.hwnd = m_hWnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(GetMessageTime());
    DWORD pos = GetMessagePos();
    m.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    ::SendMessageW(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void CXListCtrl::OnNeedToolText(NMHDR& hdr) {
    DWORD pos = GetMessagePos();
    POINT pt{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    ScreenToClient(m_hWnd, &pt);
    LVHITTESTINFO ht{};
    ht.pt = pt;
    SendPastHook(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&ht));
    if (ht.iItem < 0 || !(ht.flags & LVHT_ONITEM))
        return;
    const XListCell* cell = GetCell(ht.iItem, ht.iSubItem);
    if (!cell || cell->strTip.empty())
        return;
    const std::wstring tip = cell->strTip.substr(0, kTipBuffer - 1);
    if (hdr.code == TTN_NEEDTEXTW) {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(hdr);
        std::copy(tip.begin(), tip.end(), info.szText);
        info.szText[tip.size()] = L'\0';
        info.lpszText = info.szText;
        info.hinst = nullptr;
        return;
    }
    auto& info = reinterpret_cast<NMTTDISPINFOA&>(hdr);
    // The thread's code page may need several bytes a character: drop whole
    // characters from the end until the text fits the buffer.
    std::size_t chars = tip.size();
    int bytes = 0;
    for (;;) {
        bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, tip.data(), static_cast<int>(chars),
                                    info.szText, kTipBuffer - 1, nullptr, nullptr);
        if (bytes > 0 || chars == 0)
            break;
        --chars;
    }
    info.szText[std::max(bytes, 0)] = '\0';
    info.lpszText = info.szText;
    info.hinst = nullptr;
}
