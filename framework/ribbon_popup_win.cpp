#include "framework/ribbon.h"

#include "framework/ribbon_paint.h"

#include <windowsx.h>

#include <algorithm>

namespace rp = ribbon_paint;

namespace {

constexpr wchar_t kPopupClass[] = L"TorvaneBrenlow.RibbonPopup";

int TextWidth(HDC hdc, HFONT font, const std::wstring& text) {
    CSelectObject sel(hdc, font);
    SIZE size{};
    std::wstring shown = StripMnemonic(text);
    GetTextExtentPoint32W(hdc, shown.c_str(), static_cast<int>(shown.size()), &size);
    return size.cx;
}

} // namespace

CRibbonPopup::CRibbonPopup(CRibbonBar& bar, Kind kind, const CRibbonCategory* category, int panel)
    : m_bar(bar), m_kind(kind), m_pCategory(category), m_nPanel(panel) {
    Build();
}

CRibbonPopup::~CRibbonPopup() {
    m_bClosing = true;
    DestroyWindow();
}

void CRibbonPopup::Build() {
    const CRibbonMetrics& m = m_bar.GetLayout().metrics;
    HDC hdc = CreateCompatibleDC(nullptr);
    if (m_kind == Kind::menu) {
        const auto* main = static_cast<const CRibbonMainCategory*>(m_pCategory);
        const int pad = m.Scale(4);
        int y = pad;
        for (const auto& button : main->GetItems()) {
            m_items.push_back(
                {button.get(), RECT{pad, y, pad + m.menuWidth, y + m.menuItemHeight}});
            y += m.menuItemHeight;
        }
        y += pad;
        const int bottomTop = y;
        m_size = {m.menuWidth + 2 * pad, y + m.menuBottomHeight};
        // Bottom buttons from the right edge leftwards.
        int right = m_size.cx - pad;
        for (auto it = main->GetBottom().rbegin(); it != main->GetBottom().rend(); ++it) {
            int w = m.smallImage + m.Scale(22) + TextWidth(hdc, m_bar.GetFont(), (*it)->GetText());
            RECT rc{right - w, bottomTop + m.Scale(3), right,
                    bottomTop + m.menuBottomHeight - m.Scale(3)};
            m_items.push_back({it->get(), rc, true});
            right -= w + pad;
        }
    } else {
        const CRibbonPanel* panel = m_pCategory->GetPanel(m_nPanel);
        const CRibbonPanelLayout& l = m_bar.GetLayout().panels[static_cast<std::size_t>(m_nPanel)];
        const int height = l.rect.Height();
        const int captionTop = height - m.panelCaptionHeight;
        int x = m.panelPadding;
        for (int i = 0; panel && i < panel->GetCount(); ++i) {
            CRibbonButton* button = panel->GetElement(i);
            int w = LargeButtonWidth(m, TextWidth(hdc, m_bar.GetFont(), button->GetText()));
            m_items.push_back({button, RECT{x, m.Scale(2), x + w, captionTop - m.Scale(2)}});
            x += w;
        }
        const int captionWidth =
            panel ? TextWidth(hdc, m_bar.GetFont(), panel->GetName()) + 2 * m.buttonPadding : 0;
        m_size = {std::max(x, captionWidth) + m.panelPadding, height};
    }
    DeleteDC(hdc);
}

bool CRibbonPopup::Open(POINT pt) {
    const wchar_t* cls = RegisterWndClass(kPopupClass, CS_DROPSHADOW, nullptr,
                                          LoadCursorW(nullptr, IDC_ARROW), nullptr);
    // Keep it on the monitor of the point.
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi)) {
        pt.x = std::max(mi.rcWork.left, std::min(pt.x, mi.rcWork.right - m_size.cx));
        pt.y = std::max(mi.rcWork.top, std::min(pt.y, mi.rcWork.bottom - m_size.cy));
    }
    HWND owner = m_bar.Frame() ? m_bar.Frame()->m_hWnd : nullptr;
    if (!CreateEx(WS_EX_TOOLWINDOW, L"", WS_POPUP, pt.x, pt.y, m_size.cx, m_size.cy, owner, 0, cls))
        return false;
    ShowWindow(SW_SHOWNOACTIVATE);
    // Holding the mouse is what lets a click anywhere else close it.
    SetCapture(m_hWnd);
    return true;
}

void CRibbonPopup::Close() {
    if (m_bClosing || !m_hWnd)
        return;
    m_bClosing = true;
    if (GetCapture() == m_hWnd)
        ReleaseCapture();
    DestroyWindow();
}

RECT CRibbonPopup::GetItemRect(UINT nID) const {
    for (const Item& item : m_items)
        if (item.pButton->GetID() == nID)
            return item.rect;
    return {};
}

int CRibbonPopup::ItemAt(POINT pt) const {
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (PtInRect(&m_items[i].rect, pt))
            return static_cast<int>(i);
    return -1;
}

void CRibbonPopup::Draw(HDC hdc) const {
    const CRibbonMetrics& m = m_bar.GetLayout().metrics;
    const rp::Scheme& c = rp::Colors();
    RECT all{0, 0, m_size.cx, m_size.cy};
    HFONT font = m_bar.GetFont();
    const CImageStrip* small = &m_pCategory->GetSmallImages();
    const CImageStrip* large = &m_pCategory->GetLargeImages();
    auto stateOf = [&](int i) {
        const Item& item = m_items[static_cast<std::size_t>(i)];
        if (!item.pButton->IsEnabled())
            return rp::State::disabled;
        if (i == m_nPressed && i == m_nHot)
            return rp::State::pressed;
        return i == m_nHot ? rp::State::hot : rp::State::normal;
    };

    if (m_kind == Kind::menu) {
        CBrushHandle back(CreateSolidBrush(c.menuBack));
        FillRect(hdc, &all, back);
        const int bottomTop = m_size.cy - m.menuBottomHeight;
        rp::Gradient(hdc, RECT{0, bottomTop, m_size.cx, m_size.cy}, c.menuBottomTop,
                     c.menuBottomBottom);
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            const rp::State state = stateOf(static_cast<int>(i));
            rp::ButtonFace(hdc, item.rect, state, m.Scale(3));
            const bool disabled = state == rp::State::disabled;
            if (item.bottom) {
                const int y = (item.rect.top + item.rect.bottom - m.smallImage) / 2;
                // The large strip stands in only for a picture the small strip
                // has (same index, same picture): an index beyond the small
                // strip shows no picture rather than another command's.
                const int index = item.pButton->GetSmallImage();
                rp::Picture(hdc, small, large, index, small->IsValid(index) ? index : -1,
                            item.rect.left + m.Scale(6), y, m.smallImage, disabled);
                RECT text{item.rect.left + m.smallImage + m.Scale(12), item.rect.top,
                          item.rect.right - m.Scale(4), item.rect.bottom};
                COLORREF color = disabled                     ? c.disabledText
                                 : state == rp::State::normal ? c.menuBottomText
                                                              : c.text;
                rp::Text(hdc, font, item.pButton->GetText(), text, color, DT_LEFT | DT_VCENTER);
            } else {
                const int y = (item.rect.top + item.rect.bottom - m.largeImage) / 2;
                rp::Picture(hdc, small, large, item.pButton->GetSmallImage(),
                            item.pButton->GetLargeImage(), item.rect.left + m.Scale(6), y,
                            m.largeImage, disabled);
                RECT text{item.rect.left + m.largeImage + m.Scale(16), item.rect.top,
                          item.rect.right - m.Scale(4), item.rect.bottom};
                rp::Text(hdc, font, item.pButton->GetText(), text,
                         disabled ? c.disabledText : c.text, DT_LEFT | DT_VCENTER);
            }
        }
        rp::Frame(hdc, all, c.menuFrame, 0);
    } else {
        rp::Gradient(hdc, all, c.panelTop, c.panelBottom);
        RECT caption{0, m_size.cy - m.panelCaptionHeight, m_size.cx, m_size.cy};
        rp::Gradient(hdc, caption, c.panelCaptionTop, c.panelCaptionBottom);
        if (const CRibbonPanel* panel = m_pCategory->GetPanel(m_nPanel))
            rp::Text(hdc, font, panel->GetName(), caption, c.panelCaptionText,
                     DT_CENTER | DT_VCENTER);
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            rp::LargeButton(hdc, m, font, item.rect, item.pButton->GetText(), small, large,
                            item.pButton->GetSmallImage(), item.pButton->GetLargeImage(),
                            stateOf(static_cast<int>(i)));
        }
        rp::Frame(hdc, all, c.panelBorder, 0);
    }

    if (m_bShowKeyTips)
        for (const Item& item : m_items) {
            if (m_kind == Kind::panel || item.bottom)
                rp::KeyTip(hdc, m, font, item.pButton->GetKeyTip(),
                           (item.rect.left + item.rect.right) / 2,
                           m_kind == Kind::panel ? item.rect.top + m.largeImage
                                                 : item.rect.bottom - m.keyTipHeight / 2);
            else
                rp::KeyTip(hdc, m, font, item.pButton->GetKeyTip(),
                           item.rect.left + m.Scale(6) + m.largeImage,
                           item.rect.bottom - m.keyTipHeight);
        }
}

LRESULT CRibbonPopup::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The popup is all client area (no border): painted from an off-screen copy.
    if (LRESULT painted = 0; HandleOffscreenPaint(
            m_hWnd, msg, wParam, [this](HDC hdc) { Draw(hdc); }, painted))
        return painted;
    switch (msg) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSEMOVE: {
        int hot = ItemAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (hot != m_nHot) {
            m_nHot = hot;
            Invalidate(false);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT rc = GetClientRect();
        if (!PtInRect(&rc, pt)) {
            // A click elsewhere only closes the drop-down, as a menu does.
            m_bar.SetKeyTips(CRibbonBar::KeyTips::none);
            m_bar.ClosePopup();
            return 0;
        }
        m_nPressed = ItemAt(pt);
        Invalidate(false);
        return 0;
    }
    case WM_LBUTTONUP: {
        const int item = ItemAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        const int pressed = m_nPressed;
        m_nPressed = -1;
        if (item >= 0 && item == pressed) {
            CRibbonButton* button = m_items[static_cast<std::size_t>(item)].pButton;
            if (button->IsEnabled()) {
                CRibbonBar& bar = m_bar;
                bar.ClosePopup();
                bar.SetKeyTips(CRibbonBar::KeyTips::none);
                bar.RunButton(*button);
                return 0;
            }
        }
        Invalidate(false);
        return 0;
    }
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a system menu, another program):
        // the drop-down has lost its user.
        if (!m_bClosing) {
            m_bar.SetKeyTips(CRibbonBar::KeyTips::none);
            m_bar.ClosePopup();
        }
        return 0;
    case WM_DESTROY:
        m_bClosing = true;
        return Default();
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}
