#include "controls/adv_combo.h"

#include "controls/drop_wnd.h"
#include "controls/visual_styles.h"
#include "framework/errors.h"
#include "framework/strings.h"

#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>

namespace {

constexpr wchar_t kClassName[] = L"SuperComboBox";
constexpr UINT kEditId = 108;
constexpr UINT_PTR kHotTimer = 1;        // checks whether the pointer left the button
constexpr UINT_PTR kForegroundTimer = 1; // the edit's one-time foreground
constexpr int kWheelStep = WHEEL_DELTA;
constexpr int kClosedPage = 10; // Page Up/Down while closed
constexpr int kWheelRows = 3;   // rows a wheel step scrolls the open list

bool IsDropDownStyle(DWORD style) {
    return (style & 3) == CBS_DROPDOWN;
}

// Drops the character a consumed key would otherwise produce, so one key
// never acts twice (once as a key and once as its character).
void DropPendingChar(HWND hWnd) {
    MSG msg;
    while (PeekMessageW(&msg, hWnd, WM_CHAR, WM_CHAR, PM_REMOVE)) {
    }
    while (PeekMessageW(&msg, hWnd, WM_SYSCHAR, WM_SYSCHAR, PM_REMOVE)) {
    }
}

} // namespace

// ---------------------------------------------------------------- edit child

void CAdvComboEdit::PreSubclassWindow() {
    SetTimer(kForegroundTimer, 100);
}

LRESULT CAdvComboEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
        if (m_combo.OnComboKey(msg, wParam, lParam))
            return 0;
        break;
    case WM_MOUSEWHEEL:
        m_combo.OnComboWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_GETDLGCODE:
        return Default() | DLGC_WANTALLKEYS;
    case WM_SETFOCUS: {
        LRESULT r = Default();
        m_combo.OnEditSetFocus();
        return r;
    }
    case WM_KILLFOCUS: {
        LRESULT r = Default();
        m_combo.OnEditKillFocus(reinterpret_cast<HWND>(wParam));
        return r;
    }
    case WM_TIMER:
        if (wParam == kForegroundTimer) {
            KillTimer(kForegroundTimer);
            if (!m_bForegroundDone) {
                m_bForegroundDone = true;
                SetForegroundWindow(GetAncestor(m_hWnd, GA_ROOT));
            }
            return 0;
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- creation

CAdvComboBox::CAdvComboBox(CWnd* pParentWnd) : m_pParentWnd(pParentWnd) {
    if (!RegisterWndClass(kClassName, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, nullptr,
                          LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(5)))
        throw CResourceException();
}

CAdvComboBox::~CAdvComboBox() {
    // The handlers must see the window go while the object is still whole.
    m_pDropWnd.reset();
    if (m_hWnd)
        DestroyWindow();
}

bool CAdvComboBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID,
                          DWORD dwExStyle) {
    m_rcCreate = rect;
    m_dwStyle = dwStyle;
    m_dwComboStyle |= ACS_INSET_EDIT;
    LoadItemsFromResource(nID);
    m_bPrepared = true; // the items are in; creation adds the font and the edit
    const bool popup = (dwStyle & WS_POPUP) != 0;
    return CreateEx(dwExStyle, L"", dwStyle, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, pParent ? pParent->m_hWnd : nullptr, popup ? 0 : nID,
                    kClassName);
}

int CAdvComboBox::OnCreate(CREATESTRUCTW* pcs) {
    if (CWnd::OnCreate(pcs) == -1)
        return -1;
    m_dwStyle = static_cast<DWORD>(pcs->style);
    Prepare();
    return 0;
}

void CAdvComboBox::PreSubclassWindow() {
    m_dwStyle = static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE));
    m_bPrepared = false;
    LoadItemsFromResource(static_cast<UINT>(GetDlgCtrlID(m_hWnd)));
    Prepare();
}

void CAdvComboBox::LoadItemsFromResource(UINT nID) {
    if (nID == 0)
        return;
    std::wstring text = LoadResString(nID);
    if (text.empty())
        return;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            // A closing line feed ends the last item; it does not start another.
            if (start < text.size())
                m_items.push_back({text.substr(start)});
            break;
        }
        m_items.push_back({text.substr(start, end - start)});
        start = end + 1;
    }
}

void CAdvComboBox::Prepare() {
    HWND hParent = GetParent(m_hWnd);
    auto hFont =
        hParent ? reinterpret_cast<HFONT>(::SendMessageW(hParent, WM_GETFONT, 0, 0)) : nullptr;
    CopyFont(hFont ? hFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    Layout();
    if (IsDropDownStyle(m_dwStyle) && !m_pEdit) {
        m_pEdit = std::make_unique<CAdvComboEdit>(*this);
        DWORD style = WS_CHILD | WS_VISIBLE | ((m_dwStyle & CBS_AUTOHSCROLL) ? ES_AUTOHSCROLL : 0);
        if (!m_pEdit->CreateControl(L"EDIT", L"", style, RECT{0, 0, 1, 1}, this, kEditId))
            m_pEdit.reset();
        else
            m_pEdit->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
        Layout();
    }
}

void CAdvComboBox::CopyFont(HFONT hFont) {
    LOGFONTW lf{};
    if (hFont && GetObjectW(hFont, sizeof(lf), &lf))
        m_font.Reset(CreateFontIndirectW(&lf));
    if (HasEdit())
        m_pEdit->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
}

void CAdvComboBox::Layout() {
    if (!m_hWnd)
        return;
    RECT rc = GetClientRect();
    const int arrow = GetSystemMetrics(SM_CXHSCROLL);
    // The button sits inside the frame, which is two pixels wide.
    m_rcButton = {std::max(rc.left + 2, rc.right - 2 - arrow), rc.top + 2, rc.right - 2,
                  rc.bottom - 2};
    if (HasEdit()) {
        RECT edit{rc.left, rc.top, m_rcButton.left, rc.bottom};
        if (m_dwComboStyle & ACS_INSET_EDIT)
            edit = {edit.left + 3, edit.top + 4, edit.right - 2, edit.bottom - 2};
        edit.right = std::max(edit.right, edit.left);
        edit.bottom = std::max(edit.bottom, edit.top);
        m_pEdit->MoveWindow(edit);
    }
}

void CAdvComboBox::OnDestroy() {
    m_pDropWnd.reset();
    m_bDropped = 0;
    KillTimer(kHotTimer);
    m_pEdit.reset();
}

// ---------------------------------------------------------------- items

int CAdvComboBox::AddItem(const std::wstring& text, bool bDisabled) {
    m_items.push_back({text, bDisabled ? 1 : 0});
    return static_cast<int>(m_items.size()) - 1;
}

int CAdvComboBox::SetItemDisabled(int nIndex, bool bDisabled) {
    if (nIndex < 0 || nIndex >= static_cast<int>(m_items.size()))
        return 0;
    m_items[static_cast<std::size_t>(nIndex)].bItemDisabled = bDisabled ? 1 : 0;
    return 1;
}

bool CAdvComboBox::IsItemDisabled(int nIndex) const {
    return nIndex >= 0 && nIndex < static_cast<int>(m_items.size()) &&
           m_items[static_cast<std::size_t>(nIndex)].bItemDisabled;
}

std::wstring CAdvComboBox::CurrentText() const {
    return HasEdit() ? m_pEdit->GetWindowText() : m_strText;
}

void CAdvComboBox::SetTextFromItem(const std::wstring& text) {
    m_strText = text;
    if (HasEdit()) {
        m_bInEditUpdate = true; // our own text is no typing
        m_pEdit->SetWindowText(text);
        m_pEdit->SendMessage(EM_SETSEL, 0, -1);
        m_bInEditUpdate = false;
    }
    if (m_hWnd)
        Invalidate(false);
}

void CAdvComboBox::Notify(WORD code) {
    if (!m_hWnd)
        return;
    HWND target = m_pParentWnd && m_pParentWnd->m_hWnd ? m_pParentWnd->m_hWnd : GetParent(m_hWnd);
    if (!target)
        return;
    const int id = GetDlgCtrlID(m_hWnd);
    ::SendMessageW(target, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(m_hWnd));
}

void CAdvComboBox::SelectClosed(int nIndex) {
    if (nIndex < 0 || nIndex >= static_cast<int>(m_items.size()) || nIndex == m_nCurSel)
        return;
    m_nCurSel = nIndex;
    SetTextFromItem(m_items[static_cast<std::size_t>(nIndex)].strText);
    Notify(CBN_SELENDOK);
    Notify(CBN_SELCHANGE);
}

void CAdvComboBox::SelectInList(int nIndex) {
    if (!m_pDropWnd || !m_pDropWnd->List().IsEnabled(nIndex))
        return;
    m_pDropWnd->SetCurSel(nIndex);
}

// ---------------------------------------------------------------- drop-down

void CAdvComboBox::ToggleDropDown() {
    if (m_pDropWnd)
        CloseDropDown(false);
    else
        OpenDropDown(m_items);
}

void CAdvComboBox::OpenDropDown(std::vector<AdvComboItem> items) {
    if (m_pDropWnd || !m_hWnd)
        return;
    const int count = static_cast<int>(items.size());
    auto drop = std::make_unique<CDropWnd>(*this, std::move(items), m_dwComboStyle);
    int sel = m_nCurSel >= count ? 0 : m_nCurSel;
    if (!drop->Open(sel))
        return;
    m_pDropWnd = std::move(drop);
    m_bDropped = 1;
    InvalidateRect(m_hWnd, &m_rcButton, FALSE);
    Notify(CBN_DROPDOWN);
}

void CAdvComboBox::CloseDropDown(bool bAfterPick) {
    if (!m_pDropWnd) {
        OnComboComplete();
        return;
    }
    // Released first: the drop-down's own handlers must not run on a
    // half-destroyed object.
    std::unique_ptr<CDropWnd> drop = std::move(m_pDropWnd);
    m_bDropped = 0;
    if (drop->m_hWnd)
        ::ShowWindow(drop->m_hWnd, SW_HIDE);
    drop.reset();
    if (m_hWnd) {
        InvalidateRect(m_hWnd, nullptr, FALSE);
        UpdateWindow();
    }
    if (!bAfterPick)
        Notify(CBN_SELENDCANCEL);
    Notify(CBN_CLOSEUP);
}

void CAdvComboBox::PickFromList(int nIndex) {
    if (!m_pDropWnd)
        return;
    const auto& list = m_pDropWnd->List().Items();
    if (nIndex < 0 || nIndex >= static_cast<int>(list.size()))
        return;
    const std::wstring text = list[static_cast<std::size_t>(nIndex)].strText;
    m_bSelFromList = true;
    SetTextFromItem(text);
    m_nCurSel = combo_rules::FindExact(m_items, text);
    Notify(CBN_SELENDOK);
    CloseDropDown(true);
    Notify(CBN_SELCHANGE);
    m_bSelFromList = false;
}

// ---------------------------------------------------------------- keys, wheel

bool CAdvComboBox::OnComboKey(UINT msg, WPARAM vk, LPARAM lParam) {
    if (msg == WM_CHAR) {
        if (vk == VK_ESCAPE) {
            OnComboCancel();
            return true;
        }
        if (vk == VK_RETURN) {
            OnComboComplete();
            return true;
        }
        return false;
    }
    if (msg != WM_KEYDOWN && msg != WM_SYSKEYDOWN)
        return false;
    m_bAutoComplete = !(vk == VK_BACK || vk == VK_DELETE);
    const bool open = m_pDropWnd != nullptr;
    const bool alt = msg == WM_SYSKEYDOWN || (lParam & (1 << 29)) || (GetKeyState(VK_MENU) < 0);
    bool consumed = true;
    switch (vk) {
    case VK_RETURN:
        if (!open)
            return false;
        // The pick closes the list; the close that follows then completes,
        // as a click on an item does.
        if (int sel = m_pDropWnd->GetCurSel(); sel >= 0 && m_pDropWnd->List().IsEnabled(sel))
            SendMessage(WM_SELECTED_ITEM, static_cast<WPARAM>(sel));
        SendMessage(WM_DESTROY_DROPLIST);
        break;
    case VK_ESCAPE:
        if (open)
            CloseDropDown(false);
        else
            OnComboCancel();
        break;
    case VK_PRIOR:
    case VK_NEXT: {
        const int sign = vk == VK_NEXT ? 1 : -1;
        if (open) {
            SelectInList(combo_rules::MoveBy(m_pDropWnd->List().Items(), m_pDropWnd->GetCurSel(),
                                             sign * std::max(1, m_pDropWnd->VisibleRows())));
        } else {
            SelectClosed(combo_rules::MoveBy(m_items, m_nCurSel, sign * kClosedPage));
        }
        break;
    }
    case VK_UP:
    case VK_DOWN: {
        if (alt) {
            ToggleDropDown();
            break;
        }
        const int step = vk == VK_DOWN ? 1 : -1;
        if (open)
            SelectInList(combo_rules::NextEnabled(m_pDropWnd->List().Items(),
                                                  m_pDropWnd->GetCurSel(), step));
        else
            SelectClosed(combo_rules::NextEnabled(m_items, m_nCurSel, step));
        break;
    }
    case VK_F4:
        ToggleDropDown();
        break;
    case VK_RIGHT: {
        consumed = false;
        if ((m_dwComboStyle & ACS_AUTOCOMPLETE) && HasEdit()) {
            DWORD start = 0, end = 0;
            m_pEdit->SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                 reinterpret_cast<LPARAM>(&end));
            const auto length = static_cast<DWORD>(m_pEdit->GetWindowText().size());
            if (end == length && start != end) {
                m_pEdit->SendMessage(EM_SETSEL, length, length);
                consumed = true;
            }
        }
        break;
    }
    default:
        consumed = false;
        break;
    }
    if (consumed) {
        // The handler may have destroyed us (an owner closing the editor).
        HWND hTarget = HasEdit() ? m_pEdit->m_hWnd : m_hWnd;
        if (hTarget)
            DropPendingChar(hTarget);
    }
    return consumed;
}

void CAdvComboBox::OnComboWheel(int delta) {
    m_nWheelDelta += delta;
    while (m_nWheelDelta >= kWheelStep || m_nWheelDelta <= -kWheelStep) {
        const int step = m_nWheelDelta > 0 ? -1 : 1; // wheel up: towards the first item
        m_nWheelDelta += step * kWheelStep;
        if (m_pDropWnd)
            m_pDropWnd->SetTopIndex(m_pDropWnd->GetTopIndex() + step * kWheelRows);
        else
            SelectClosed(combo_rules::NextEnabled(m_items, m_nCurSel, step));
    }
}

// ---------------------------------------------------------------- edit child

void CAdvComboBox::OnEditUpdate() {
    if (m_bInEditUpdate || !HasEdit())
        return;
    const std::wstring typed = m_pEdit->GetWindowText();
    if ((m_dwComboStyle & ACS_AUTOCOMPLETE) && m_bAutoComplete) {
        int found = combo_rules::FirstWithPrefix(m_items, typed);
        if (found >= 0) {
            const std::wstring& full = m_items[static_cast<std::size_t>(found)].strText;
            if (full != typed) {
                m_bInEditUpdate = true;
                m_pEdit->SetWindowText(full);
                m_pEdit->SendMessage(EM_SETSEL, typed.size(), full.size());
                m_bInEditUpdate = false;
            }
        }
    }
    if ((m_dwComboStyle & ACS_FILTER_LIST) && !typed.empty()) {
        std::vector<AdvComboItem> matching = combo_rules::WithPrefix(m_items, typed);
        if (m_pDropWnd && m_pDropWnd->List().Items().size() != matching.size()) {
            // A shorter or longer list replaces the open one without the
            // user having closed anything.
            m_pDropWnd.reset();
            m_bDropped = 0;
        }
        if (matching.size() >= 2 && !m_pDropWnd)
            OpenDropDown(std::move(matching));
    }
    if (!m_pDropWnd)
        Notify(CBN_EDITUPDATE);
}

void CAdvComboBox::OnEditSetFocus() {
    m_bHasFocus = true;
    if (!m_bFocusSent) {
        m_bFocusSent = true;
        Notify(CBN_SETFOCUS);
    }
}

bool CAdvComboBox::IsOwnWindow(HWND hWnd) const {
    if (!hWnd)
        return false;
    if (hWnd == m_hWnd || IsChild(m_hWnd, hWnd))
        return true;
    HWND drop = m_pDropWnd ? m_pDropWnd->m_hWnd : nullptr;
    return drop && (hWnd == drop || IsChild(drop, hWnd));
}

void CAdvComboBox::OnEditKillFocus(HWND hNewFocus) {
    m_bHasFocus = false;
    if (IsOwnWindow(hNewFocus) || m_pDropWnd)
        return;
    m_bFocusSent = false; // the next visit is a new one
    Notify(CBN_KILLFOCUS);
    Notify(CBN_SELENDCANCEL);
}

// ---------------------------------------------------------------- painting

void CAdvComboBox::Paint(HDC hDC) {
    const RECT rc = GetClientRect();
    const bool enabled = IsWindowEnabled(m_hWnd) != FALSE;
    FillSolidRect(hDC, rc, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    CThemeData theme(m_hWnd, L"COMBOBOX");
    if (theme) {
        const ThemeFunctions& api = CVisualStyles::Api();
        COLORREF border = 0;
        if (SUCCEEDED(
                api.GetThemeColor(theme.Get(), CP_BORDER, CBB_NORMAL, TMT_BORDERCOLOR, &border))) {
            CBrush brush(CreateSolidBrush(border));
            FrameRect(hDC, &rc, brush.Get());
        }
        COLORREF fill = 0;
        if (!enabled && SUCCEEDED(api.GetThemeColor(theme.Get(), CP_BORDER, CBB_DISABLED,
                                                    TMT_FILLCOLOR, &fill)))
            FillSolidRect(hDC, {rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1}, fill);
        const int state = m_bDropped     ? CBXS_PRESSED
                          : !enabled     ? CBXS_DISABLED
                          : m_bHotButton ? CBXS_HOT
                                         : CBXS_NORMAL;
        api.DrawThemeBackground(theme.Get(), hDC, CP_DROPDOWNBUTTON, state, &m_rcButton, nullptr);
    } else {
        RECT frame = rc;
        DrawEdge(hDC, &frame, EDGE_SUNKEN, BF_RECT);
        RECT button = m_rcButton;
        UINT state = DFCS_SCROLLDOWN;
        if (m_bDropped)
            state |= DFCS_PUSHED | DFCS_FLAT;
        if (!enabled)
            state |= DFCS_INACTIVE;
        DrawFrameControl(hDC, &button, DFC_SCROLL, state);
    }
    if (HasEdit())
        return;
    RECT text{rc.left + 2, rc.top + 2, m_rcButton.left, rc.bottom - 2};
    text = {text.left + 2, text.top + 2, text.right - 2, text.bottom - 2};
    COLORREF ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    if (m_bHasFocus && !m_bDropped && enabled) {
        FillSolidRect(hDC, text, GetSysColor(COLOR_HIGHLIGHT));
        ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    CSelectObject font(hDC, m_font.Get());
    SetBkMode(hDC, TRANSPARENT);
    SetTextColor(hDC, ink);
    RECT inner{text.left + 1, text.top, text.right, text.bottom};
    DrawTextW(hDC, m_strText.c_str(), static_cast<int>(m_strText.size()), &inner,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void CAdvComboBox::UpdateHot(POINT pt) {
    const bool hot = PtInRect(&m_rcButton, pt) != FALSE;
    if (hot == m_bHotButton)
        return;
    m_bHotButton = hot;
    InvalidateRect(m_hWnd, &m_rcButton, FALSE);
    if (hot)
        SetTimer(kHotTimer, 50);
    else
        KillTimer(kHotTimer);
}

void CAdvComboBox::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kHotTimer) {
        Default();
        return;
    }
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(m_hWnd, &pt);
    if (WindowFromPoint([&] {
            POINT s = pt;
            ClientToScreen(m_hWnd, &s);
            return s;
        }()) != m_hWnd)
        pt = {-1, -1};
    UpdateHot(pt);
}

// ---------------------------------------------------------------- messages

LRESULT CAdvComboBox::OnComboMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    const int count = static_cast<int>(m_items.size());
    const int index = static_cast<int>(wParam);
    switch (msg) {
    case CB_ADDSTRING:
        return AddItem(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"");
    case CB_SETCURSEL:
        if (index == -1) {
            m_nCurSel = -1;
            SetTextFromItem(L"");
            return -1;
        }
        if (count == 0) {
            m_nCurSel = index;
            return -1;
        }
        if (index < 0 || index >= count)
            return -1;
        m_nCurSel = index;
        SetTextFromItem(m_items[static_cast<std::size_t>(index)].strText);
        return index;
    case CB_GETCURSEL:
        return combo_rules::FindExact(m_items, CurrentText());
    case CB_SELECTSTRING: {
        if (!lParam)
            return -1;
        int found = combo_rules::FindExact(m_items, reinterpret_cast<const wchar_t*>(lParam),
                                           std::max(index, 0));
        return found < 0 ? -1 : SendMessage(CB_SETCURSEL, static_cast<WPARAM>(found));
    }
    case CB_GETCOUNT:
        return count;
    case CB_RESETCONTENT:
        // The open list holds copies, but they would stand for items that
        // are gone.
        if (m_pDropWnd)
            CloseDropDown(false);
        m_items.clear();
        m_nCurSel = -1;
        SetTextFromItem(L"");
        return CB_OKAY;
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
        if (index < 0 || index >= count)
            return -1;
        const std::wstring& text = m_items[static_cast<std::size_t>(index)].strText;
        if (msg == CB_GETLBTEXT && lParam) {
            auto* out = reinterpret_cast<wchar_t*>(lParam);
            std::copy(text.begin(), text.end(), out);
            out[text.size()] = L'\0';
        }
        return static_cast<LRESULT>(text.size()) + 1;
    }
    case CB_GETTOPINDEX:
        return m_pDropWnd ? m_pDropWnd->GetTopIndex() : -1;
    case CB_SETTOPINDEX:
        return m_pDropWnd ? m_pDropWnd->SetTopIndex(index) : -1;
    case WM_SELECTED_ITEM:
        PickFromList(index);
        return 0;
    case WM_DESTROY_DROPLIST:
        CloseDropDown(false);
        return 0;
    case WM_ON_DROPDOWN_BUTTON:
        ToggleDropDown();
        return 0;
    default:
        handled = false;
        return 0;
    }
}

LRESULT CAdvComboBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = OnComboMessage(msg, wParam, lParam, handled);
    if (handled)
        return result;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(m_hWnd, &ps);
        const RECT rc = GetClientRect();
        // Drawn off screen and copied once, so the face never flickers.
        HDC hMem = CreateCompatibleDC(hDC);
        CBitmap bitmap(
            CreateCompatibleBitmap(hDC, std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1)));
        if (hMem && bitmap) {
            {
                CSelectObject select(hMem, bitmap.Get());
                Paint(hMem);
                BitBlt(hDC, 0, 0, rc.right, rc.bottom, hMem, 0, 0, SRCCOPY);
            }
        } else {
            Paint(hDC);
        }
        if (hMem)
            DeleteDC(hMem);
        EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Layout();
        Invalidate(false);
        return 0;
    case WM_ENABLE:
        if (HasEdit())
            EnableWindow(m_pEdit->m_hWnd, wParam != 0);
        Invalidate(false);
        return 0;
    case WM_SETFONT:
        CopyFont(reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam))
            Invalidate(false);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font.Get());
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(CurrentText().size());
    case WM_GETTEXT: {
        if (!lParam || wParam == 0)
            return 0;
        std::wstring text = CurrentText();
        std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        auto* out = reinterpret_cast<wchar_t*>(lParam);
        std::copy_n(text.begin(), n, out);
        out[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
        if (HasEdit()) {
            ::SetFocus(m_pEdit->m_hWnd);
            return 0;
        }
        m_bHasFocus = true;
        Invalidate(false);
        Notify(CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        m_bHasFocus = false;
        if (m_hWnd)
            Invalidate(false);
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
        if (OnComboKey(msg, wParam, lParam))
            return 0;
        return Default();
    case WM_MOUSEWHEEL:
        OnComboWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        ::SetFocus(HasEdit() ? m_pEdit->m_hWnd : m_hWnd);
        if (!m_hWnd || !IsWindowEnabled(m_hWnd))
            return 0;
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (!HasEdit() || PtInRect(&m_rcButton, pt))
            ToggleDropDown();
        return 0;
    }
    case WM_MOUSEMOVE:
        UpdateHot({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return Default();
    case WM_COMMAND:
        if (HasEdit() && reinterpret_cast<HWND>(lParam) == m_pEdit->m_hWnd) {
            if (HIWORD(wParam) == EN_UPDATE)
                OnEditUpdate();
            else if (HIWORD(wParam) == EN_CHANGE && !m_pDropWnd && !m_bInEditUpdate)
                Notify(CBN_EDITCHANGE);
            return 0;
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}
