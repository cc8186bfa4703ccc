#include "framework/ribbon_statusbar.h"

#include "framework/frame_ex.h"
#include "framework/ribbon_paint.h"

#include <algorithm>
#include <utility>

namespace rp = ribbon_paint;

namespace {
constexpr wchar_t kStatusClass[] = L"TorvaneBrenlow.RibbonStatusBar";
} // namespace

CRibbonStatusBar::~CRibbonStatusBar() {
    DestroyWindow();
}

bool CRibbonStatusBar::Create(CFrameWnd* pFrame, UINT nID) {
    if (!pFrame || !pFrame->m_hWnd)
        return false;
    const wchar_t* cls =
        RegisterWndClass(kStatusClass, 0, nullptr, LoadCursorW(nullptr, IDC_ARROW), nullptr);
    if (!CreateEx(0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, pFrame->m_hWnd, nID,
                  cls))
        return false;
    m_nDpi = -1;
    SetDpi(WindowDpi(pFrame->m_hWnd));
    if (auto* frame = dynamic_cast<CFrameWndEx*>(pFrame)) {
        m_pFrame = frame;
        frame->SetRibbonStatusBar(this);
    }
    return true;
}

void CRibbonStatusBar::SetDpi(int dpi) {
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    const CRibbonMetrics m = CRibbonMetrics::ForDpi(dpi);
    m_font.Reset(CreateFontW(-m.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI"));
    if (m_hWnd)
        Invalidate(true);
}

CRibbonStatusBarPane* CRibbonStatusBar::AddElement(std::unique_ptr<CRibbonStatusBarPane> pane,
                                                   const std::wstring& label, bool bVisible) {
    return AddTo(m_main, std::move(pane), label, bVisible);
}

CRibbonStatusBarPane*
CRibbonStatusBar::AddExtendedElement(std::unique_ptr<CRibbonStatusBarPane> pane,
                                     const std::wstring& label, bool bVisible) {
    return AddTo(m_extended, std::move(pane), label, bVisible);
}

CRibbonStatusBarPane* CRibbonStatusBar::AddTo(PaneList& area,
                                              std::unique_ptr<CRibbonStatusBarPane> pane,
                                              const std::wstring& label, bool bVisible) {
    if (!pane)
        return nullptr;
    pane->m_strLabel = label;
    pane->m_bVisible = bVisible;
    pane->m_strWidthText = pane->m_strText;
    area.push_back(std::move(pane));
    if (m_hWnd)
        Invalidate(true);
    return area.back().get();
}

CRibbonStatusBarPane* CRibbonStatusBar::FindElement(UINT nID) const {
    for (const auto* list : {&m_main, &m_extended})
        for (const auto& pane : *list)
            if (pane->GetID() == nID)
                return pane.get();
    return nullptr;
}

bool CRibbonStatusBar::SetPaneText(UINT nID, const std::wstring& text) {
    CRibbonStatusBarPane* pane = FindElement(nID);
    if (!pane)
        return false;
    pane->SetText(text);
    return true;
}

bool CRibbonStatusBar::FitPaneToText(UINT nID) {
    CRibbonStatusBarPane* pane = FindElement(nID);
    if (!pane)
        return false;
    if (pane->m_strWidthText != pane->m_strText) {
        pane->m_strWidthText = pane->m_strText;
        if (m_hWnd)
            Invalidate(true);
    }
    return true;
}

std::wstring CRibbonStatusBar::GetPaneText(UINT nID) const {
    const CRibbonStatusBarPane* pane = FindElement(nID);
    return pane ? pane->GetText() : std::wstring();
}

void CRibbonStatusBar::SetMessageText(const std::wstring& text) {
    if (text == m_strMessage)
        return;
    m_strMessage = text;
    if (m_hWnd) {
        Invalidate(true);
        // Prompts change while a menu tracks; paint now rather than after it.
        UpdateWindow();
    }
}

int CRibbonStatusBar::PaneWidth(const CRibbonStatusBarPane& pane) const {
    HDC hdc = CreateCompatibleDC(nullptr);
    SIZE size{};
    {
        CSelectObject sel(hdc, m_font);
        GetTextExtentPoint32W(hdc, pane.m_strWidthText.c_str(),
                              static_cast<int>(pane.m_strWidthText.size()), &size);
    }
    DeleteDC(hdc);
    return size.cx + 2 * CRibbonMetrics::ForDpi(m_nDpi).statusPadding;
}

int CRibbonStatusBar::GetExtendedLeft() const {
    RECT rc = m_hWnd ? GetClientRect() : RECT{};
    int left = rc.right;
    for (const auto& pane : m_extended)
        if (pane->IsVisible())
            left -= PaneWidth(*pane);
    return std::max(0, static_cast<int>(left));
}

RECT CRibbonStatusBar::GetPaneRect(UINT nID) const {
    if (!m_hWnd)
        return {};
    const RECT rc = GetClientRect();
    // Each area lays its visible panes out left to right from its own start.
    const std::pair<const PaneList*, int> areas[] = {{&m_main, 0},
                                                     {&m_extended, GetExtendedLeft()}};
    for (const auto& [area, left] : areas) {
        int x = left;
        for (const auto& pane : *area) {
            if (!pane->IsVisible())
                continue;
            const int w = PaneWidth(*pane);
            if (pane->GetID() == nID)
                return RECT{x, 0, x + w, rc.bottom};
            x += w;
        }
    }
    return {};
}

void CRibbonStatusBar::Draw(HDC hdc) const {
    const rp::Scheme& c = rp::Colors();
    const CRibbonMetrics m = CRibbonMetrics::ForDpi(m_nDpi);
    RECT rc = GetClientRect();
    const int extLeft = GetExtendedLeft();
    rp::Gradient(hdc, RECT{0, 0, extLeft, rc.bottom}, c.statusTop, c.statusBottom);
    rp::Gradient(hdc, RECT{extLeft, 0, rc.right, rc.bottom}, c.statusExtTop, c.statusExtBottom);
    {
        CPenHandle pen(CreatePen(PS_SOLID, 1, c.statusSeparator));
        CSelectObject sel(hdc, pen);
        MoveToEx(hdc, 0, 0, nullptr);
        LineTo(hdc, rc.right, 0);
        MoveToEx(hdc, extLeft, 0, nullptr);
        LineTo(hdc, extLeft, rc.bottom);
    }
    auto paneText = [&](const CRibbonStatusBarPane& pane) {
        RECT r = GetPaneRect(pane.GetID());
        r.left += m.statusPadding;
        r.right -= m.statusPadding / 2;
        rp::Text(hdc, m_font, pane.GetText(), r, c.statusText, DT_LEFT | DT_VCENTER | DT_NOPREFIX);
    };
    if (!m_strMessage.empty()) {
        RECT r{m.statusPadding, 0, extLeft - m.statusPadding, rc.bottom};
        rp::Text(hdc, m_font, m_strMessage, r, c.statusText, DT_LEFT | DT_VCENTER | DT_NOPREFIX);
    } else {
        for (const auto& pane : m_main)
            if (pane->IsVisible())
                paneText(*pane);
    }
    for (const auto& pane : m_extended)
        if (pane->IsVisible())
            paneText(*pane);
}

LRESULT CRibbonStatusBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The whole bar is painted from an off-screen copy.
    if (LRESULT painted = 0; HandleOffscreenPaint(
            m_hWnd, msg, wParam, [this](HDC hdc) { Draw(hdc); }, painted))
        return painted;
    switch (msg) {
    case WM_DESTROY:
        if (m_pFrame && m_pFrame->GetRibbonStatusBar() == this)
            m_pFrame->SetRibbonStatusBar(nullptr);
        m_pFrame = nullptr;
        return Default();
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}
