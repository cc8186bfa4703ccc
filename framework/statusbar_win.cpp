#include "framework/statusbar.h"

#include <commctrl.h>

namespace {
// Room around a pane's text: the bar's borders and a little air.
constexpr int kPanePadding = 12;
} // namespace

bool CStatusBar::Create(CWnd* pParent, UINT nID) {
    RECT rc{};
    return CreateControl(STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, rc,
                         pParent, nID);
}

bool CStatusBar::SetPanes(const std::vector<CStatusPane>& panes) {
    if (!m_hWnd || panes.empty())
        return false;
    m_panes = panes;
    m_widths.assign(m_panes.size(), 0);
    HDC hdc = ::GetDC(m_hWnd);
    HGDIOBJ oldFont = SelectObject(hdc, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
    for (std::size_t i = 1; i < m_panes.size(); ++i) {
        SIZE size{};
        const std::wstring& text = m_panes[i].text;
        GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
        m_widths[i] = size.cx + kPanePadding;
    }
    SelectObject(hdc, oldFont);
    ::ReleaseDC(m_hWnd, hdc);
    ApplyParts();
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        SendMessage(SB_SETTEXTW, i, reinterpret_cast<LPARAM>(m_panes[i].text.c_str()));
    return true;
}

void CStatusBar::ApplyParts() {
    if (!m_hWnd || m_panes.empty())
        return;
    RECT rc = GetClientRect();
    // Right edges, from the right end of the bar backwards; the message pane
    // takes what is left.
    std::vector<int> edges(m_panes.size());
    int right = rc.right - GetSystemMetrics(SM_CXVSCROLL);
    edges.back() = -1;
    for (std::size_t i = m_panes.size() - 1; i > 0; --i) {
        right -= m_widths[i];
        edges[i - 1] = right > 0 ? right : 0;
    }
    SendMessage(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

int CStatusBar::CommandToIndex(UINT nID) const {
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        if (m_panes[i].nID == nID)
            return static_cast<int>(i);
    return -1;
}

bool CStatusBar::SetPaneText(UINT nID, const std::wstring& text) {
    int index = CommandToIndex(nID);
    if (index < 0 || !m_hWnd)
        return false;
    m_panes[static_cast<std::size_t>(index)].text = text;
    return SendMessage(SB_SETTEXTW, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

std::wstring CStatusBar::GetPaneText(UINT nID) const {
    int index = CommandToIndex(nID);
    return index < 0 ? std::wstring() : m_panes[static_cast<std::size_t>(index)].text;
}

void CStatusBar::SetMessageText(const std::wstring& text) {
    if (m_panes.empty() || !m_hWnd)
        return;
    m_panes[0].text = text;
    SendMessage(SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // Prompts change while a menu tracks; paint now rather than after it.
    ::UpdateWindow(m_hWnd);
}

std::wstring CStatusBar::GetMessageText() const {
    return m_panes.empty() ? std::wstring() : m_panes[0].text;
}

int CStatusBar::GetHeight() const {
    if (!m_hWnd)
        return 0;
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    return rc.bottom - rc.top;
}

void CStatusBar::Reposition() {
    if (!m_hWnd)
        return;
    // The control places itself at the bottom of its parent on WM_SIZE.
    SendMessage(WM_SIZE, 0, 0);
    ApplyParts();
}
