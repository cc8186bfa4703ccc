#include "framework/ribbon.h"

#include "framework/frame_ex.h"
#include "framework/ribbon_paint.h"
#include "framework/strings.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

namespace rp = ribbon_paint;

namespace {

constexpr wchar_t kRibbonClass[] = L"TorvaneBrenlow.Ribbon";

// A button as a command surface: the routing's answer lands on the button.
class CRibbonCmdUI : public CCmdUI {
public:
    explicit CRibbonCmdUI(UINT id) : CCmdUI(id) {}
};

CFontHandle MakeFont(int dpi, bool bold) {
    const CRibbonMetrics m = CRibbonMetrics::ForDpi(dpi);
    return CFontHandle(CreateFontW(-m.fontHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                   FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI"));
}

int TextWidth(HDC hdc, const std::wstring& text) {
    SIZE size{};
    std::wstring shown = StripMnemonic(text);
    GetTextExtentPoint32W(hdc, shown.c_str(), static_cast<int>(shown.size()), &size);
    return size.cx;
}

bool KeyMatches(const std::wstring& tip, UINT vk) {
    return tip.size() == 1 && static_cast<UINT>(tip[0]) == vk;
}

} // namespace

// ---------------------------------------------------------------- content

CRibbonButton* CRibbonPanel::Add(std::unique_ptr<CRibbonButton> button) {
    if (!button)
        return nullptr;
    m_buttons.push_back(std::move(button));
    return m_buttons.back().get();
}

CRibbonButton* CRibbonPanel::GetElement(int index) const {
    return index >= 0 && index < GetCount() ? m_buttons[static_cast<std::size_t>(index)].get()
                                            : nullptr;
}

CRibbonCategory::CRibbonCategory(std::wstring name, UINT nSmallImages, UINT nLargeImages)
    : m_strName(std::move(name)) {
    m_smallImages.SetImageSize(16, 16);
    m_largeImages.SetImageSize(32, 32);
    if (nSmallImages)
        m_smallImages.Load(nSmallImages);
    if (nLargeImages)
        m_largeImages.Load(nLargeImages);
}

CRibbonPanel* CRibbonCategory::AddPanel(std::wstring name, const CImageStrip* pIcons, int nIcon) {
    m_panels.push_back(std::make_unique<CRibbonPanel>(std::move(name), pIcons, nIcon));
    return m_panels.back().get();
}

CRibbonPanel* CRibbonCategory::GetPanel(int index) const {
    return index >= 0 && index < GetPanelCount() ? m_panels[static_cast<std::size_t>(index)].get()
                                                 : nullptr;
}

CRibbonButton* CRibbonMainCategory::Add(std::unique_ptr<CRibbonButton> button) {
    if (!button)
        return nullptr;
    m_items.push_back(std::move(button));
    return m_items.back().get();
}

CRibbonButton* CRibbonMainCategory::AddToBottom(std::unique_ptr<CRibbonButton> button) {
    if (!button)
        return nullptr;
    m_bottom.push_back(std::move(button));
    return m_bottom.back().get();
}

bool CRibbonApplicationButton::SetImage(UINT nBitmapID) {
    m_image.SetImageSize(0, 0);
    return m_image.Load(nBitmapID);
}

void CRibbonApplicationButton::SetText(const std::wstring& text) {
    m_strLabel = PromptPart(text);
    std::wstring tip = TooltipPart(text);
    for (wchar_t& c : tip)
        c = static_cast<wchar_t>(std::towupper(c));
    m_strKeyTip = tip;
}

// ---------------------------------------------------------------- the bar

CRibbonBar::CRibbonBar() = default;

CRibbonBar::~CRibbonBar() {
    m_popup.reset();
    DestroyWindow();
    if (m_hMeasureDC)
        DeleteDC(m_hMeasureDC);
}

bool CRibbonBar::Create(CFrameWnd* pFrame, UINT nID) {
    if (!pFrame || !pFrame->m_hWnd)
        return false;
    m_pFrame = pFrame;
    m_nDpi = WindowDpi(pFrame->m_hWnd);
    m_hMeasureDC = CreateCompatibleDC(nullptr);
    CreateFonts();
    const wchar_t* cls = RegisterWndClass(kRibbonClass, CS_DBLCLKS, nullptr,
                                          LoadCursorW(nullptr, IDC_ARROW), nullptr);
    if (!CreateEx(0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, pFrame->m_hWnd, nID,
                  cls))
        return false;
    // The ribbon carries the frame's commands; its menu bar goes.
    if (HMENU menu = GetMenu(pFrame->m_hWnd)) {
        SetMenu(pFrame->m_hWnd, nullptr);
        DestroyMenu(menu);
    }
    pFrame->AddCommandSurface(this);
    if (auto* frame = dynamic_cast<CFrameWndEx*>(pFrame))
        frame->SetRibbonBar(this);

    m_hToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0, m_hWnd,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_hToolTip) {
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = m_hWnd;
        ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        ::SendMessageW(m_hToolTip, TTM_SETMAXTIPWIDTH, 0, m_layout.metrics.Scale(300));
    }
    RecalcLayout();
    return true;
}

void CRibbonBar::OnDestroy() {
    if (m_pFrame) {
        m_pFrame->RemoveCommandSurface(this);
        if (auto* frame = dynamic_cast<CFrameWndEx*>(m_pFrame);
            frame && frame->GetRibbonBar() == this)
            frame->SetRibbonBar(nullptr);
    }
    ClosePopup();
    if (m_hToolTip) {
        ::DestroyWindow(m_hToolTip);
        m_hToolTip = nullptr;
    }
}

void CRibbonBar::SetApplicationButton(CRibbonApplicationButton* pButton, SIZE size) {
    m_pAppButton = pButton;
    m_appButtonSize = size;
    AssignKeyTips();
    RecalcLayout();
}

CRibbonMainCategory* CRibbonBar::AddMainCategory(const std::wstring& name, UINT nSmallImages,
                                                 UINT nLargeImages) {
    m_main = std::make_unique<CRibbonMainCategory>(name, nSmallImages, nLargeImages);
    return m_main.get();
}

CRibbonCategory* CRibbonBar::AddCategory(const std::wstring& name, UINT nSmallImages,
                                         UINT nLargeImages) {
    m_categories.push_back(std::make_unique<CRibbonCategory>(name, nSmallImages, nLargeImages));
    return m_categories.back().get();
}

CRibbonCategory* CRibbonBar::GetCategory(int index) const {
    return index >= 0 && index < GetCategoryCount()
               ? m_categories[static_cast<std::size_t>(index)].get()
               : nullptr;
}

void CRibbonBar::SetActiveCategory(int index) {
    if (index < 0 || index >= GetCategoryCount() || index == m_nActive)
        return;
    ClosePopup();
    m_nActive = index;
    RecalcLayout();
}

CRibbonButton* CRibbonBar::FindByID(UINT nID) const {
    for (const auto& category : m_categories)
        for (const auto& panel : category->m_panels)
            for (const auto& button : panel->m_buttons)
                if (button->GetID() == nID)
                    return button.get();
    if (m_main) {
        for (const auto& button : m_main->GetItems())
            if (button->GetID() == nID)
                return button.get();
        for (const auto& button : m_main->GetBottom())
            if (button->GetID() == nID)
                return button.get();
    }
    return nullptr;
}

const CImageStrip* CRibbonBar::PanelIcons() const {
    const CRibbonCategory* category = GetCategory(m_nActive);
    if (!category)
        return nullptr;
    for (const auto& panel : category->m_panels)
        if (panel->m_pIcons)
            return panel->m_pIcons;
    return nullptr;
}

// ---------------------------------------------------------------- layout

void CRibbonBar::CreateFonts() {
    m_measured.dpi = -1;
    m_font = MakeFont(m_nDpi, false);
    m_fontBold = MakeFont(m_nDpi, true);
}

void CRibbonBar::SetDpi(int dpi) {
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    CreateFonts();
    RecalcLayout();
}

CRibbonLayoutInput CRibbonBar::LayoutInput(int width, int dpi) const {
    std::size_t elements = m_categories.size();
    const CRibbonCategory* active = GetCategory(m_nActive);
    if (active)
        for (const auto& panel : active->m_panels)
            elements += 1 + panel->m_buttons.size();
    Measured& c = m_measured;
    if (c.dpi != dpi || c.active != m_nActive || c.elements != elements ||
        c.drawsCaption != m_bDrawsCaption) {
        std::wstring title;
        if (m_bDrawsCaption && m_pFrame && m_pFrame->m_hWnd)
            title = m_pFrame->GetWindowText();
        c = Measured{dpi, m_nActive, elements, m_bDrawsCaption, title, {}};
        CRibbonLayoutInput& in = c.input;
        in.dpi = dpi;
        in.appButtonSize = static_cast<int>(m_appButtonSize.cx);
        in.captionButtons = m_bDrawsCaption;
        if (m_hMeasureDC) {
            CFontHandle other;
            HFONT font = m_font;
            if (dpi != m_nDpi || !font) {
                other = MakeFont(dpi, false);
                font = other;
            }
            CSelectObject sel(m_hMeasureDC, font);
            in.titleWidth = title.empty() ? 0 : TextWidth(m_hMeasureDC, title);
            for (const auto& category : m_categories)
                in.tabWidths.push_back(TextWidth(m_hMeasureDC, category->GetName()));
            if (active)
                for (const auto& panel : active->m_panels) {
                    CRibbonLayoutPanel p;
                    p.captionWidth = TextWidth(m_hMeasureDC, panel->GetName());
                    for (const auto& button : panel->m_buttons)
                        p.buttonLabelWidths.push_back(TextWidth(m_hMeasureDC, button->GetText()));
                    in.panels.push_back(std::move(p));
                }
        }
    }
    // The application button's size may change without the content changing.
    c.input.appButtonSize = static_cast<int>(m_appButtonSize.cx);
    CRibbonLayoutInput in = c.input;
    in.width = width;
    return in;
}

CRibbonLayout CRibbonBar::ComputeLayout(int width, int dpi) const {
    return LayoutRibbon(LayoutInput(width, dpi));
}

void CRibbonBar::RecalcLayout() {
    int width = 0;
    if (m_hWnd)
        width = GetClientRect().right;
    else if (m_pFrame && m_pFrame->m_hWnd)
        width = m_pFrame->GetClientRect().right;
    m_layout = ComputeLayout(width, m_nDpi);
    AssignKeyTips();
    if (m_hWnd)
        Invalidate(false);
}

void CRibbonBar::OnSize(UINT, int, int) {
    RecalcLayout();
    // Geometry moved under the mouse: the old hot button is stale.
    m_hot = {};
}

void CRibbonBar::AssignKeyTips() {
    std::vector<std::wstring> top;
    if (m_pAppButton)
        top.push_back(m_pAppButton->GetKeyTip());
    std::vector<std::wstring> names;
    for (const auto& category : m_categories)
        names.push_back(category->GetName());
    std::vector<std::wstring> tips = ::AssignKeyTips(names, top);
    for (std::size_t i = 0; i < tips.size(); ++i)
        m_categories[i]->m_strKeyTip = tips[i];
    for (const auto& category : m_categories) {
        std::vector<std::wstring> labels;
        for (const auto& panel : category->m_panels)
            for (const auto& button : panel->m_buttons)
                labels.push_back(button->GetText());
        for (const auto& panel : category->m_panels)
            labels.push_back(panel->GetName());
        tips = ::AssignKeyTips(labels);
        std::size_t k = 0;
        for (const auto& panel : category->m_panels)
            for (const auto& button : panel->m_buttons)
                button->m_strKeyTip = tips[k++];
        for (const auto& panel : category->m_panels)
            panel->m_strKeyTip = tips[k++];
    }
    if (m_main) {
        std::vector<std::wstring> labels;
        for (const auto& button : m_main->GetItems())
            labels.push_back(button->GetText());
        for (const auto& button : m_main->GetBottom())
            labels.push_back(button->GetText());
        tips = ::AssignKeyTips(labels);
        std::size_t k = 0;
        for (const auto& button : m_main->GetItems())
            button->m_strKeyTip = tips[k++];
        for (const auto& button : m_main->GetBottom())
            button->m_strKeyTip = tips[k++];
    }
}

CRibbonHit CRibbonBar::HitTest(POINT pt) const {
    CRibbonHit hit;
    const CRibbonLayout& l = m_layout;
    if (l.closeButton.Contains(pt.x, pt.y))
        hit.kind = CRibbonHit::close;
    else if (l.maximizeButton.Contains(pt.x, pt.y))
        hit.kind = CRibbonHit::maximize;
    else if (l.minimizeButton.Contains(pt.x, pt.y))
        hit.kind = CRibbonHit::minimize;
    else if (m_pAppButton && l.appButton.Contains(pt.x, pt.y))
        hit.kind = CRibbonHit::appButton;
    if (hit.kind != CRibbonHit::nothing)
        return hit;
    for (std::size_t i = 0; i < l.tabs.size(); ++i)
        if (l.tabs[i].Contains(pt.x, pt.y)) {
            hit.kind = CRibbonHit::tab;
            hit.nTab = static_cast<int>(i);
            return hit;
        }
    if (l.caption.Contains(pt.x, pt.y)) {
        hit.kind = CRibbonHit::caption;
        return hit;
    }
    const CRibbonCategory* category = GetCategory(m_nActive);
    if (!category)
        return hit;
    for (std::size_t p = 0; p < l.panels.size() && p < category->m_panels.size(); ++p) {
        const CRibbonPanelLayout& panel = l.panels[p];
        if (!panel.rect.Contains(pt.x, pt.y))
            continue;
        hit.nPanel = static_cast<int>(p);
        if (panel.collapsed) {
            if (panel.collapsedButton.Contains(pt.x, pt.y))
                hit.kind = CRibbonHit::panelButton;
            return hit;
        }
        for (std::size_t b = 0; b < panel.buttons.size(); ++b)
            if (panel.buttons[b].Contains(pt.x, pt.y)) {
                hit.kind = CRibbonHit::button;
                hit.nButton = static_cast<int>(b);
                hit.pButton = category->m_panels[p]->GetElement(static_cast<int>(b));
                return hit;
            }
        return hit;
    }
    return hit;
}

RECT CRibbonBar::GetButtonRect(UINT nID) const {
    const CRibbonCategory* category = GetCategory(m_nActive);
    if (!category)
        return {};
    for (std::size_t p = 0; p < m_layout.panels.size() && p < category->m_panels.size(); ++p) {
        const CRibbonPanelLayout& panel = m_layout.panels[p];
        if (panel.collapsed)
            continue;
        for (std::size_t b = 0; b < panel.buttons.size(); ++b) {
            const CRibbonButton* button = category->m_panels[p]->GetElement(static_cast<int>(b));
            if (button && button->GetID() == nID)
                return rp::ToRect(panel.buttons[b]);
        }
    }
    return {};
}

// ---------------------------------------------------------------- drawing

namespace {

bool SameHit(const CRibbonHit& a, const CRibbonHit& b) {
    return a.kind == b.kind && a.nTab == b.nTab && a.nPanel == b.nPanel && a.nButton == b.nButton;
}

void DrawCaptionGlyph(HDC hdc, const CRibbonMetrics& m, const RECT& rc, CRibbonHit::Kind kind,
                      bool zoomed, COLORREF color) {
    CPenHandle pen(CreatePen(PS_SOLID, std::max(1, m.Scale(1)), color));
    CSelectObject selPen(hdc, pen);
    CSelectObject selBrush(hdc, GetStockObject(NULL_BRUSH));
    const int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
    const int h = m.Scale(5);
    switch (kind) {
    case CRibbonHit::minimize:
        MoveToEx(hdc, cx - h, cy + h / 2, nullptr);
        LineTo(hdc, cx + h + 1, cy + h / 2);
        break;
    case CRibbonHit::maximize:
        if (zoomed) {
            Rectangle(hdc, cx - h, cy - h + m.Scale(3), cx + h - m.Scale(2), cy + h + 1);
            MoveToEx(hdc, cx - h + m.Scale(3), cy - h + m.Scale(3), nullptr);
            LineTo(hdc, cx - h + m.Scale(3), cy - h);
            LineTo(hdc, cx + h + 1, cy - h);
            LineTo(hdc, cx + h + 1, cy + h - m.Scale(2));
            LineTo(hdc, cx + h - m.Scale(2), cy + h - m.Scale(2));
        } else {
            Rectangle(hdc, cx - h, cy - h, cx + h + 1, cy + h + 1);
        }
        break;
    default:
        MoveToEx(hdc, cx - h, cy - h, nullptr);
        LineTo(hdc, cx + h + 1, cy + h + 1);
        MoveToEx(hdc, cx + h, cy - h, nullptr);
        LineTo(hdc, cx - h - 1, cy + h + 1);
        break;
    }
}

} // namespace

void CRibbonBar::Draw(HDC hdc) const {
    const CRibbonLayout& l = m_layout;
    const CRibbonMetrics& m = l.metrics;
    const rp::Scheme& c = rp::Colors();
    const int width = l.caption.right;
    const bool active = !m_pFrame || !m_pFrame->m_hWnd || GetActiveWindow() == m_pFrame->m_hWnd ||
                        (m_popup && m_popup->m_hWnd);

    // Rows.
    rp::Gradient(hdc, rp::ToRect(l.caption), c.captionTop, c.captionBottom);
    rp::Gradient(hdc, RECT{0, l.caption.bottom, width, l.panelArea.top}, c.tabRowTop,
                 c.tabRowBottom);
    rp::Gradient(hdc, rp::ToRect(l.panelArea), c.areaTop, c.areaBottom);

    // Title and the window's buttons.
    if (m_bDrawsCaption && m_pFrame && m_pFrame->m_hWnd)
        rp::Text(hdc, m_font, m_pFrame->GetWindowText(), rp::ToRect(l.title),
                 active ? c.titleText : c.titleTextInactive, DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    const bool zoomed = m_pFrame && m_pFrame->m_hWnd && IsZoomed(m_pFrame->m_hWnd);
    for (auto [kind, rect] : {std::pair{CRibbonHit::minimize, l.minimizeButton},
                              std::pair{CRibbonHit::maximize, l.maximizeButton},
                              std::pair{CRibbonHit::close, l.closeButton}}) {
        if (rect.Empty())
            continue;
        RECT rc = rp::ToRect(rect);
        if (m_hot.kind == kind || m_pressed.kind == kind) {
            HBRUSH brush = CreateSolidBrush(kind == CRibbonHit::close ? c.closeHot : c.captionHot);
            FillRect(hdc, &rc, brush);
            DeleteObject(brush);
        }
        DrawCaptionGlyph(hdc, m, rc, kind, zoomed, c.captionGlyph);
    }

    // Tabs.
    for (std::size_t i = 0; i < l.tabs.size() && i < m_categories.size(); ++i) {
        RECT rc = rp::ToRect(l.tabs[i]);
        const bool isActive = static_cast<int>(i) == m_nActive;
        if (isActive) {
            RECT face{rc.left, rc.top + m.Scale(2), rc.right, rc.bottom + m.Scale(2)};
            rp::Gradient(hdc, face, c.tabActiveTop, c.tabActiveBottom);
            rp::Frame(hdc, RECT{face.left, face.top, face.right, face.bottom + m.Scale(4)},
                      c.panelBorder, m.Scale(5));
        } else if (m_hot.kind == CRibbonHit::tab && m_hot.nTab == static_cast<int>(i)) {
            rp::Gradient(hdc, rc, c.tabHot, c.tabRowBottom);
        }
        rp::Text(hdc, m_font, m_categories[i]->GetName(), rc,
                 isActive ? c.tabActiveText : c.tabText, DT_CENTER | DT_VCENTER);
    }

    // Panels of the active category.
    const CRibbonCategory* category = GetCategory(m_nActive);
    for (std::size_t p = 0; category && p < l.panels.size() && p < category->m_panels.size(); ++p) {
        const CRibbonPanelLayout& panel = l.panels[p];
        const CRibbonPanel& content = *category->m_panels[p];
        RECT rc = rp::ToRect(panel.rect);
        const bool popupOpen = m_popup && m_popup->m_hWnd &&
                               m_popup->GetKind() == CRibbonPopup::Kind::panel &&
                               m_popup->GetPanel() == static_cast<int>(p);
        if (panel.collapsed) {
            rp::State state =
                popupOpen ? rp::State::pressed
                : (m_hot.kind == CRibbonHit::panelButton && m_hot.nPanel == static_cast<int>(p))
                    ? rp::State::hot
                    : rp::State::normal;
            rp::Gradient(hdc, rc, c.panelTop, c.panelBottom);
            rp::ButtonFace(hdc, rp::ToRect(panel.collapsedButton), state, m.Scale(4));
            rp::Frame(hdc, rc, c.panelBorder, m.Scale(5));
            // The panel's icon in a small frame, its name and a drop-down mark.
            const int box = m.smallImage + m.Scale(12);
            RECT boxRc{(rc.left + rc.right - box) / 2, rc.top + m.Scale(6), 0, 0};
            boxRc.right = boxRc.left + box;
            boxRc.bottom = boxRc.top + box;
            rp::Gradient(hdc, boxRc, c.panelTop, c.areaBottom);
            rp::Frame(hdc, boxRc, c.panelBorder, m.Scale(4));
            if (content.m_pIcons)
                content.m_pIcons->Draw(hdc, content.m_nIcon, boxRc.left + m.Scale(6),
                                       boxRc.top + m.Scale(6), m.smallImage);
            RECT text{rc.left + m.Scale(2), boxRc.bottom + m.Scale(3), rc.right - m.Scale(2),
                      boxRc.bottom + m.Scale(3) + m.fontHeight + m.Scale(4)};
            rp::Text(hdc, m_font, content.GetName(), text, c.text, DT_CENTER | DT_TOP);
            const int ax = (rc.left + rc.right) / 2, ay = text.bottom + m.Scale(3);
            POINT arrow[3] = {
                {ax - m.Scale(3), ay}, {ax + m.Scale(3) + 1, ay}, {ax, ay + m.Scale(3) + 1}};
            CBrushHandle brush(CreateSolidBrush(c.text));
            CPenHandle pen(CreatePen(PS_SOLID, 1, c.text));
            CSelectObject sb(hdc, brush);
            CSelectObject sp(hdc, pen);
            Polygon(hdc, arrow, 3);
            continue;
        }
        rp::Gradient(hdc, rc, c.panelTop, c.panelBottom);
        rp::Gradient(hdc, rp::ToRect(panel.caption), c.panelCaptionTop, c.panelCaptionBottom);
        rp::Frame(hdc, rc, c.panelBorder, m.Scale(5));
        rp::Text(hdc, m_font, content.GetName(), rp::ToRect(panel.caption), c.panelCaptionText,
                 DT_CENTER | DT_VCENTER);
        for (std::size_t b = 0; b < panel.buttons.size() && b < content.m_buttons.size(); ++b) {
            const CRibbonButton& button = *content.m_buttons[b];
            CRibbonHit me;
            me.kind = CRibbonHit::button;
            me.nPanel = static_cast<int>(p);
            me.nButton = static_cast<int>(b);
            rp::State state = !button.IsEnabled()                            ? rp::State::disabled
                              : SameHit(m_pressed, me) && SameHit(m_hot, me) ? rp::State::pressed
                              : SameHit(m_hot, me)                           ? rp::State::hot
                                                                             : rp::State::normal;
            rp::LargeButton(hdc, m, m_font, rp::ToRect(panel.buttons[b]), button.GetText(),
                            &category->m_smallImages, &category->m_largeImages,
                            button.GetSmallImage(), button.GetLargeImage(), state);
        }
    }

    // The application button over both top rows.
    if (m_pAppButton) {
        RECT rc = rp::ToRect(l.appButton);
        const bool hot = m_hot.kind == CRibbonHit::appButton;
        const bool open =
            m_popup && m_popup->m_hWnd && m_popup->GetKind() == CRibbonPopup::Kind::menu;
        COLORREF top = open ? c.pressedTop : hot ? c.hotTop : c.orbTop;
        COLORREF bottom = open ? c.pressedBottom : hot ? c.hotBottom : c.orbBottom;
        // A round face: the gradient clipped to an ellipse.
        HRGN round = CreateEllipticRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1);
        int saved = SaveDC(hdc);
        SelectClipRgn(hdc, round);
        rp::Gradient(hdc, rc, top, bottom);
        RestoreDC(hdc, saved);
        DeleteObject(round);
        {
            CPenHandle pen(CreatePen(PS_SOLID, std::max(1, m.Scale(1)), c.orbOuter));
            CSelectObject sp(hdc, pen);
            CSelectObject sb(hdc, GetStockObject(NULL_BRUSH));
            Ellipse(hdc, rc.left, rc.top, rc.right, rc.bottom);
        }
        const CImageStrip& image = m_pAppButton->GetImage();
        const int size = m.Scale(24);
        image.Draw(hdc, 0, (rc.left + rc.right - size) / 2, (rc.top + rc.bottom - size) / 2, size);
    }

    // Key tips of the level shown.
    if (m_keyTips == KeyTips::top || m_keyTips == KeyTips::menu) {
        if (m_pAppButton)
            rp::KeyTip(hdc, m, m_font, m_pAppButton->GetKeyTip(),
                       (l.appButton.left + l.appButton.right) / 2,
                       l.appButton.bottom - m.keyTipHeight / 2);
        if (m_keyTips == KeyTips::top)
            for (std::size_t i = 0; i < l.tabs.size() && i < m_categories.size(); ++i)
                rp::KeyTip(hdc, m, m_font, m_categories[i]->GetKeyTip(),
                           (l.tabs[i].left + l.tabs[i].right) / 2,
                           l.tabs[i].bottom - m.keyTipHeight / 2);
    } else if ((m_keyTips == KeyTips::category || m_keyTips == KeyTips::panel) && category) {
        for (std::size_t p = 0; p < l.panels.size() && p < category->m_panels.size(); ++p) {
            const CRibbonPanelLayout& panel = l.panels[p];
            const CRibbonPanel& content = *category->m_panels[p];
            if (panel.collapsed) {
                rp::KeyTip(hdc, m, m_font, content.GetKeyTip(),
                           (panel.rect.left + panel.rect.right) / 2,
                           panel.rect.bottom - m.keyTipHeight);
                continue;
            }
            for (std::size_t b = 0; b < panel.buttons.size() && b < content.m_buttons.size(); ++b)
                rp::KeyTip(hdc, m, m_font, content.m_buttons[b]->GetKeyTip(),
                           (panel.buttons[b].left + panel.buttons[b].right) / 2,
                           panel.buttons[b].top + m.largeImage);
        }
    }
}

// ---------------------------------------------------------------- commands

void CRibbonBar::UpdateCommandStates(CCmdTarget& route) {
    bool changed = false;
    auto update = [&](CRibbonButton& button) {
        CRibbonCmdUI ui(button.GetID());
        route.UpdateCmdUI(ui);
        if (ui.m_bEnabled != button.m_bEnabled) {
            button.m_bEnabled = ui.m_bEnabled;
            changed = true;
        }
    };
    for (const auto& category : m_categories)
        for (const auto& panel : category->m_panels)
            for (const auto& button : panel->m_buttons)
                update(*button);
    if (m_main) {
        for (const auto& button : m_main->GetItems())
            update(*button);
        for (const auto& button : m_main->GetBottom())
            update(*button);
    }
    if (changed) {
        if (m_hWnd)
            Invalidate(false);
        if (m_popup && m_popup->m_hWnd)
            m_popup->Invalidate(false);
    }
}

void CRibbonBar::RunButton(const CRibbonButton& button) {
    // Through the frame's message queue, as a menu choice arrives: the command
    // runs after the bar's mouse handling and any popup are done, along the
    // frame's routing, and only when it is still enabled then.
    if (m_pFrame && m_pFrame->m_hWnd)
        m_pFrame->PostMessage(WM_COMMAND, MAKEWPARAM(button.GetID(), 0), 0);
}

void CRibbonBar::GetToolTip(const CRibbonButton& button, std::wstring& title,
                            std::wstring& description) {
    const std::wstring entry = LoadResString(button.GetID());
    title = TooltipPart(entry);
    if (title.empty())
        title = StripMnemonic(button.GetText());
    description = PromptPart(entry);
}

// ---------------------------------------------------------------- mouse

void CRibbonBar::SetHot(const CRibbonHit& hit) {
    if (SameHit(hit, m_hot))
        return;
    m_hot = hit;
    Invalidate(false);
    UpdateToolTip();
}

void CRibbonBar::UpdateToolTip() {
    if (!m_hToolTip)
        return;
    if (!SameHit(m_tipFor, m_hot)) {
        m_tipFor = m_hot;
        ::SendMessageW(m_hToolTip, TTM_POP, 0, 0);
        std::wstring title, description;
        if (m_hot.pButton)
            GetToolTip(*m_hot.pButton, title, description);
        // A command with a prompt shows its title above it; one without shows
        // the title alone as the text.
        ::SendMessageW(m_hToolTip, TTM_SETTITLEW, TTI_NONE,
                       reinterpret_cast<LPARAM>(description.empty() ? L"" : title.c_str()));
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = m_hWnd;
        ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void CRibbonBar::OnMouseMove(POINT pt) {
    if (!m_bTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, m_hWnd, 0};
        m_bTracking = TrackMouseEvent(&tme) != FALSE;
    }
    SetHot(HitTest(pt));
}

void CRibbonBar::OnLButtonDown(POINT pt) {
    SetKeyTips(KeyTips::none);
    if (m_hToolTip)
        ::SendMessageW(m_hToolTip, TTM_POP, 0, 0);
    CRibbonHit hit = HitTest(pt);
    switch (hit.kind) {
    case CRibbonHit::appButton:
        ShowApplicationMenu();
        return;
    case CRibbonHit::tab:
        SetActiveCategory(hit.nTab);
        return;
    case CRibbonHit::panelButton:
        ShowPanelPopup(hit.nPanel);
        return;
    case CRibbonHit::button:
        if (hit.pButton && hit.pButton->IsEnabled()) {
            m_pressed = hit;
            SetCapture(m_hWnd);
            Invalidate(false);
        }
        return;
    default:
        return;
    }
}

void CRibbonBar::OnLButtonUp(POINT pt) {
    if (m_pressed.kind != CRibbonHit::button)
        return;
    CRibbonHit pressed = m_pressed;
    m_pressed = {};
    if (GetCapture() == m_hWnd)
        ReleaseCapture();
    Invalidate(false);
    CRibbonHit hit = HitTest(pt);
    if (SameHit(hit, pressed) && hit.pButton)
        RunButton(*hit.pButton);
}

// ---------------------------------------------------------------- drop-downs

void CRibbonBar::ShowApplicationMenu() {
    if (!m_main || !m_hWnd)
        return;
    ClosePopup();
    if (m_pFrame)
        UpdateCommandStates(*m_pFrame);
    m_popup = std::make_unique<CRibbonPopup>(*this, CRibbonPopup::Kind::menu, m_main.get(), -1);
    POINT pt{m_layout.appButton.left, m_layout.appButton.bottom};
    ClientToScreen(m_hWnd, &pt);
    m_popup->m_bShowKeyTips = m_keyTips == KeyTips::menu;
    m_popup->Open(pt);
    Invalidate(false);
}

void CRibbonBar::ShowPanelPopup(int panel) {
    const CRibbonCategory* category = GetCategory(m_nActive);
    if (!category || !m_hWnd || panel < 0 || panel >= category->GetPanelCount() ||
        panel >= static_cast<int>(m_layout.panels.size()))
        return;
    ClosePopup();
    if (m_pFrame)
        UpdateCommandStates(*m_pFrame);
    m_popup = std::make_unique<CRibbonPopup>(*this, CRibbonPopup::Kind::panel, category, panel);
    const CRibbonPanelLayout& l = m_layout.panels[static_cast<std::size_t>(panel)];
    POINT pt{l.rect.left, l.rect.bottom};
    ClientToScreen(m_hWnd, &pt);
    m_popup->m_bShowKeyTips = m_keyTips == KeyTips::panel;
    m_popup->Open(pt);
    Invalidate(false);
}

void CRibbonBar::OnTitleChanged() {
    m_measured.dpi = -1;
    RecalcLayout();
}

void CRibbonBar::SetDrawsCaption(bool bDraws) {
    if (bDraws == m_bDrawsCaption)
        return;
    m_bDrawsCaption = bDraws;
    RecalcLayout();
}

void CRibbonBar::CancelModes() {
    SetKeyTips(KeyTips::none);
    ClosePopup();
}

void CRibbonBar::SetCaptionButtonState(CRibbonHit::Kind hot, CRibbonHit::Kind pressed) {
    auto caption = [](CRibbonHit::Kind k) {
        return k == CRibbonHit::minimize || k == CRibbonHit::maximize || k == CRibbonHit::close;
    };
    CRibbonHit h, p;
    h.kind = caption(hot) ? hot : CRibbonHit::nothing;
    p.kind = caption(pressed) ? pressed : CRibbonHit::nothing;
    if (SameHit(h, m_hot) && SameHit(p, m_pressed))
        return;
    // Only the caption buttons' looks: a button of the bar keeps its own state.
    if (caption(m_hot.kind) || h.kind != CRibbonHit::nothing)
        m_hot = h;
    if (caption(m_pressed.kind) || p.kind != CRibbonHit::nothing)
        m_pressed = p;
    if (m_hWnd)
        Invalidate(false);
}

void CRibbonBar::ClosePopup() {
    // The object stays until the next popup: this may run inside its own
    // window procedure.
    if (m_popup && m_popup->m_hWnd) {
        m_popup->Close();
        if (m_hWnd)
            Invalidate(false);
    }
}

// ---------------------------------------------------------------- keys

void CRibbonBar::SetKeyTips(KeyTips level) {
    if (level == m_keyTips)
        return;
    m_keyTips = level;
    if (m_popup && m_popup->m_hWnd) {
        m_popup->m_bShowKeyTips = level == KeyTips::menu || level == KeyTips::panel;
        m_popup->Invalidate(false);
    }
    if (m_hWnd)
        Invalidate(false);
}

bool CRibbonBar::OnKeyTipKey(UINT vk) {
    const CRibbonCategory* category = GetCategory(m_nActive);
    auto runAndLeave = [&](const CRibbonButton& button) {
        ClosePopup();
        SetKeyTips(KeyTips::none);
        RunButton(button);
    };
    if (vk == VK_ESCAPE) {
        switch (m_keyTips) {
        case KeyTips::top:
            SetKeyTips(KeyTips::none);
            break;
        case KeyTips::category:
            SetKeyTips(KeyTips::top);
            break;
        case KeyTips::menu:
            ClosePopup();
            SetKeyTips(KeyTips::top);
            break;
        case KeyTips::panel:
            ClosePopup();
            SetKeyTips(KeyTips::category);
            break;
        case KeyTips::none:
            break;
        }
        return true;
    }
    switch (m_keyTips) {
    case KeyTips::top:
        if (m_pAppButton && KeyMatches(m_pAppButton->GetKeyTip(), vk)) {
            SetKeyTips(KeyTips::menu);
            ShowApplicationMenu();
            return true;
        }
        for (std::size_t i = 0; i < m_categories.size(); ++i)
            if (KeyMatches(m_categories[i]->GetKeyTip(), vk)) {
                SetActiveCategory(static_cast<int>(i));
                SetKeyTips(KeyTips::category);
                return true;
            }
        return true;
    case KeyTips::category:
        for (std::size_t p = 0;
             category && p < category->m_panels.size() && p < m_layout.panels.size(); ++p) {
            const CRibbonPanel& panel = *category->m_panels[p];
            if (m_layout.panels[p].collapsed) {
                if (KeyMatches(panel.GetKeyTip(), vk)) {
                    SetKeyTips(KeyTips::panel);
                    ShowPanelPopup(static_cast<int>(p));
                    return true;
                }
                continue;
            }
            for (const auto& button : panel.m_buttons)
                if (KeyMatches(button->GetKeyTip(), vk)) {
                    if (button->IsEnabled())
                        runAndLeave(*button);
                    return true;
                }
        }
        return true;
    case KeyTips::menu:
    case KeyTips::panel:
        if (m_popup && m_popup->m_hWnd)
            for (const CRibbonPopup::Item& item : m_popup->GetItems())
                if (KeyMatches(item.pButton->GetKeyTip(), vk)) {
                    if (item.pButton->IsEnabled())
                        runAndLeave(*item.pButton);
                    return true;
                }
        return true;
    case KeyTips::none:
        return false;
    }
    return false;
}

bool CRibbonBar::PreTranslateKey(const MSG& msg) {
    if (!m_hWnd)
        return false;
    const UINT vk = static_cast<UINT>(msg.wParam);
    switch (msg.message) {
    case WM_SYSKEYDOWN:
    case WM_KEYDOWN:
        if (vk == VK_MENU || vk == VK_F10) {
            // Alt alone shows the key tips when it is released; Alt with another
            // key (Alt+F4, Alt+Space) keeps its system meaning.
            if (!(msg.lParam & (1 << 30)))
                m_bAltArmed = true;
            if (m_keyTips != KeyTips::none) {
                ClosePopup();
                SetKeyTips(KeyTips::none);
                m_bAltArmed = false;
                m_bSwallowAltUp = true;
                return true;
            }
            return false;
        }
        m_bAltArmed = false;
        if (m_keyTips != KeyTips::none)
            return OnKeyTipKey(vk);
        if (vk == VK_ESCAPE && m_popup && m_popup->m_hWnd) {
            ClosePopup();
            return true;
        }
        return false;
    case WM_SYSKEYUP:
    case WM_KEYUP:
        if ((vk == VK_MENU || vk == VK_F10) && m_bAltArmed) {
            m_bAltArmed = false;
            ClosePopup();
            SetKeyTips(KeyTips::top);
            return true;
        }
        if ((vk == VK_MENU || vk == VK_F10) && m_bSwallowAltUp) {
            m_bSwallowAltUp = false;
            return true;
        }
        return m_keyTips != KeyTips::none;
    case WM_CHAR:
    case WM_SYSCHAR:
        return m_keyTips != KeyTips::none;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- messages

LRESULT CRibbonBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (LRESULT painted = 0; HandleOffscreenPaint(
            m_hWnd, msg, wParam, [this](HDC hdc) { Draw(hdc); }, painted))
        return painted;
    switch (msg) {
    case WM_NCHITTEST: {
        // The title row and the window's buttons belong to the frame's own
        // hit test, so moving, sizing and the caption buttons work as on any
        // window.
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(m_hWnd, &pt);
        switch (HitTest(pt).kind) {
        case CRibbonHit::caption:
        case CRibbonHit::minimize:
        case CRibbonHit::maximize:
        case CRibbonHit::close:
            return HTTRANSPARENT;
        default:
            return HTCLIENT;
        }
    }
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSELEAVE:
        m_bTracking = false;
        SetHot({});
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        if (m_pressed.kind != CRibbonHit::nothing) {
            m_pressed = {};
            Invalidate(false);
        }
        return 0;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && hdr->hwndFrom == m_hToolTip && hdr->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            std::wstring title, description;
            if (m_hot.pButton)
                GetToolTip(*m_hot.pButton, title, description);
            else if (m_hot.kind == CRibbonHit::appButton && m_pAppButton)
                title = m_pAppButton->GetToolTipText();
            m_strTipText = description.empty() ? title : description;
            info->lpszText = m_strTipText.data();
            return 0;
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}
