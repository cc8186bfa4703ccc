// The list control's side of in-place editing: opening the two editors over
// a cell, and ending them from their messages and timers. An editor ends
// outside its own message handlers where it could be destroyed under itself:
// the drop-down from a timer, the text field's object only after its handler
// has returned.
#include "controls/cell_editors.h"
#include "controls/xlist_ctrl.h"

#include <algorithm>

namespace {
constexpr int kMinEditWidth = 5;
constexpr UINT kTextEditId = 99;

UINT RetireMessage() {
    static const UINT msg = RegisterWindowMessageW(L"TorvaneBrenlow.XListRetireEditor");
    return msg;
}
} // namespace

bool CXListCtrl::OnEditorMessage(UINT msg) {
    if (msg < 0xC000)
        return false; // registered messages only
    if (msg == WM_XCOMBOLIST_VK_ESCAPE) {
        // A choice already on its way is kept: losing the focus sends both
        // messages, and the user expects the shown choice to stay.
        if (!m_bComboApplyPending)
            SetTimer(kComboCancelTimer, kEditorDelay);
    } else if (msg == WM_XCOMBOLIST_COMPLETE) {
        // The focus the click takes from the editor must not apply what
        // the click cancelled.
        if (m_bComboCancelByClick)
            return true;
        m_bComboApplyPending = true;
        KillTimer(kComboCancelTimer);
        SetTimer(kComboApplyTimer, kEditorDelay);
    } else if (msg == WM_XEDIT_VK_ESCAPE) {
        EndTextEdit(false);
    } else if (msg == WM_XEDIT_KILL_FOCUS) {
        EndTextEdit(true);
    } else if (msg == RetireMessage()) {
        RetireEditors(false);
    } else {
        return false;
    }
    return true;
}

void CXListCtrl::CancelComboByClick() {
    if (!m_pCombo)
        return;
    m_bComboCancelByClick = true;
    m_bComboApplyPending = false;
    KillTimer(kComboApplyTimer);
    SetTimer(kComboCancelTimer, kEditorDelay);
}

bool CXListCtrl::OnEditorTimer(UINT_PTR nIDEvent) {
    switch (nIDEvent) {
    case kComboUnlockTimer:
        KillTimer(kComboUnlockTimer);
        if (m_bUpdatesLocked) {
            m_bUpdatesLocked = false;
            LockWindowUpdate(nullptr);
        }
        return true;
    case kComboCancelTimer:
        KillTimer(kComboCancelTimer);
        EndComboEdit(false);
        return true;
    case kComboApplyTimer:
        KillTimer(kComboApplyTimer);
        EndComboEdit(true);
        return true;
    default:
        return false;
    }
}

void CXListCtrl::RetireEditors(bool bNow) {
    if (!bNow) {
        m_pRetiredCombo.reset();
        m_pRetiredEdit.reset();
        return;
    }
    // The window goes: no timer may outlive it and no editor may write.
    KillTimer(kComboUnlockTimer);
    KillTimer(kComboCancelTimer);
    KillTimer(kComboApplyTimer);
    if (m_bUpdatesLocked) {
        m_bUpdatesLocked = false;
        LockWindowUpdate(nullptr);
    }
    ForgetEditorRows(nullptr);
}

void CXListCtrl::ForgetEditorRows(const Row* pGone) {
    if (m_pCombo && (!pGone || pGone == m_pComboRowRecords)) {
        m_pComboRowRecords = nullptr;
        EndComboEdit(false);
    }
    if (m_pEdit && (!pGone || pGone == m_pEditRowRecords)) {
        m_pEditRowRecords = nullptr;
        EndTextEdit(false);
    }
}

int CXListCtrl::FindEditorRow(const Row* pRow) const {
    if (!pRow)
        return -1;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].get() == pRow)
            return static_cast<int>(i);
    return -1;
}

void CXListCtrl::EndComboEdit(bool bApply) {
    if (!m_pCombo)
        return;
    KillTimer(kComboCancelTimer);
    KillTimer(kComboApplyTimer);
    m_bComboApplyPending = false;
    m_bComboCancelByClick = false;
    std::unique_ptr<CXCombo> combo = std::move(m_pCombo);
    const int row = FindEditorRow(m_pComboRowRecords);
    m_pComboRowRecords = nullptr;
    if (row >= 0)
        m_nComboRow = row;
    const int sel = combo->m_hWnd ? static_cast<int>(combo->SendMessage(CB_GETCURSEL)) : -1;
    if (bApply && row >= 0 && sel >= 0 && ValidCell(row, m_nComboColumn)) {
        const std::wstring text = combo->GetItems()[static_cast<std::size_t>(sel)].strText;
        SetCellText(row, m_nComboColumn, text);
        InvalidateCell(row, m_nComboColumn);
        if (text != m_strInitialText) {
            if (XListCell* cell = GetCell(row, m_nComboColumn))
                cell->bChanged = 1;
            m_bChanged = 1;
        }
        SendToParent(WM_XLISTCTRL_COMBO_SELECTION, row, m_nComboColumn);
    } else if (row >= 0 && ValidCell(row, m_nComboColumn)) {
        InvalidateCell(row, m_nComboColumn);
    }
    if (combo->m_hWnd)
        combo->DestroyWindow();
    m_pRetiredCombo = std::move(combo);
    if (m_hWnd)
        PostMessage(RetireMessage());
}

void CXListCtrl::EndTextEdit(bool bStore) {
    if (!m_pEdit)
        return;
    std::unique_ptr<CXEdit> edit = std::move(m_pEdit);
    // Its loss of focus while it goes must not end it a second time.
    edit->m_bEndSent = 1;
    std::wstring text = edit->m_hWnd ? edit->GetWindowText() : std::wstring();
    const int row = FindEditorRow(m_pEditRowRecords);
    m_pEditRowRecords = nullptr;
    if (edit->m_hWnd)
        edit->DestroyWindow();
    m_pRetiredEdit = std::move(edit); // its handler may still be on the stack
    if (m_hWnd)
        PostMessage(RetireMessage());
    if (row < 0 || !ValidCell(row, m_nEditColumn))
        return;
    m_nEditRow = row;
    if (!bStore) {
        SetCellText(row, m_nEditColumn, m_strInitialText);
        InvalidateCell(row, m_nEditColumn);
        return;
    }
    if (text.empty())
        text = m_strInitialText;
    SetCellText(row, m_nEditColumn, text);
    if (text != m_strInitialText) {
        if (XListCell* cell = GetCell(row, m_nEditColumn))
            cell->bChanged = 1;
        m_bChanged = 1;
    }
    InvalidateCell(row, m_nEditColumn);
    SendToParent(WM_XLISTCTRL_EDIT_END, row, m_nEditColumn);
}

void CXListCtrl::StartComboEdit(int nItem, int nSubItem) {
    if (!ValidCell(nItem, nSubItem))
        return;
    if (SendPastHook(LVM_GETCOLUMNWIDTH, nSubItem, 0) < kMinEditWidth)
        return;
    Row* row = GetRow(nItem);
    if (!row || row->cells.empty() || !row->cells[0].bRowEnabled ||
        static_cast<std::size_t>(nSubItem) >= row->cells.size())
        return;
    EndComboEdit(false); // one drop-down editor at a time
    XListCell& cell = row->cells[static_cast<std::size_t>(nSubItem)];

    RECT rc{};
    GetCellRect(nItem, nSubItem, rc);
    m_rcCombo = {rc.left, rc.top - 1, rc.right, rc.bottom};
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&m_rcCombo), 2);
    if (m_rcCombo.left > m_rcCombo.right) // right-to-left layout
        std::swap(m_rcCombo.left, m_rcCombo.right);
    m_rcCombo.left += 1;

    m_pCombo = std::make_unique<CXCombo>(this);
    m_nComboRow = nItem;
    m_nComboColumn = nSubItem;
    m_pComboRowRecords = row;
    CXCombo& combo = *m_pCombo;
    if (combo.Create(WS_POPUP | WS_VISIBLE | CBS_DROPDOWNLIST, m_rcCombo, this, 0,
                     WS_EX_CONTROLPARENT)) {
        if (!m_bUpdatesLocked && LockWindowUpdate(m_hWnd))
            m_bUpdatesLocked = true;
        if (cell.pComboItems)
            for (const std::wstring& choice : *cell.pComboItems)
                if (!choice.empty())
                    combo.AddItem(choice);
        combo.SetVisibleRows(cell.nComboRows);
        const int count = static_cast<int>(combo.GetItems().size());
        std::wstring choice;
        if (cell.pComboItems && cell.nComboInitial >= 0 &&
            cell.nComboInitial < static_cast<int>(cell.pComboItems->size())) {
            choice = (*cell.pComboItems)[static_cast<std::size_t>(cell.nComboInitial)];
            SetCellText(nItem, nSubItem, choice);
            cell.nComboInitial = -1;
        }
        int index = 0;
        if (choice.empty())
            choice = GetCellText(nItem, nSubItem);
        if (choice.empty()) {
            if (count > 0)
                SetCellText(nItem, nSubItem, combo.GetItems()[0].strText);
        } else {
            index = std::max(0, combo_rules::FindExact(combo.GetItems(), choice));
        }
        combo.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
        m_strInitialText = index < count ? combo.GetItems()[static_cast<std::size_t>(index)].strText
                                         : std::wstring();
        SetTimer(kComboUnlockTimer, kEditorDelay);
        RedrawWindow(combo.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        BringWindowToTop(combo.m_hWnd);
        // Keys reach the editor only with the focus.
        ::SetFocus(combo.m_hWnd);
    }
}

void CXListCtrl::StartTextEdit(int nItem, int nSubItem) {
    if (!ValidCell(nItem, nSubItem))
        return;
    const int width = static_cast<int>(SendPastHook(LVM_GETCOLUMNWIDTH, nSubItem, 0));
    if (width < kMinEditWidth)
        return;
    Row* row = GetRow(nItem);
    if (!row || row->cells.empty() || !row->cells[0].bRowEnabled)
        return;
    if (!::SendMessageW(m_hWnd, LVM_ENSUREVISIBLE, nItem, TRUE))
        return;
    EndTextEdit(true); // one text editor at a time

    int offset = 0;
    for (int c = 0; c < nSubItem; ++c)
        offset += static_cast<int>(SendPastHook(LVM_GETCOLUMNWIDTH, c, 0));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendPastHook(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&bounds));
    const RECT client = GetClientRect();
    const int x = bounds.left + offset;
    if (x < 0 || x > client.right) {
        ::SendMessageW(m_hWnd, LVM_SCROLL, x, 0);
        bounds.left -= x;
    }
    LVCOLUMNW column{};
    column.mask = LVCF_FMT;
    ::SendMessageW(m_hWnd, LVM_GETCOLUMNW, nSubItem, reinterpret_cast<LPARAM>(&column));
    const int justify = column.fmt & LVCFMT_JUSTIFYMASK;
    DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL |
                  (justify == LVCFMT_RIGHT    ? ES_RIGHT
                   : justify == LVCFMT_CENTER ? ES_CENTER
                                              : ES_LEFT);
    RECT rc{};
    rc.left = bounds.left + offset + 2;
    rc.top = bounds.top;
    rc.right = std::min<LONG>(rc.left + width - 4, client.right);
    rc.bottom = bounds.bottom + 1;

    m_strInitialText = GetCellText(nItem, nSubItem);
    m_pEdit = std::make_unique<CXEdit>(this, m_strInitialText);
    m_nEditRow = nItem;
    m_nEditColumn = nSubItem;
    m_pEditRowRecords = row;
    m_pEdit->CreateControl(L"EDIT", L"", style, rc, this, kTextEditId);
}
