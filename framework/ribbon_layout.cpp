#include "framework/ribbon_layout.h"

#include <algorithm>
#include <cwctype>
#include <numeric>

int CRibbonMetrics::Scale(int designPixels) const {
    // Round half away from zero so that 1.5 x odd sizes do not all shrink.
    long long scaled = static_cast<long long>(designPixels) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

CRibbonMetrics CRibbonMetrics::ForDpi(int dpi) {
    CRibbonMetrics m;
    // A DPI we cannot use (a failed query gives 0) falls back to the design size.
    m.dpi = dpi >= 48 && dpi <= 960 ? dpi : 96;
    m.captionHeight = m.Scale(26);
    m.tabHeight = m.Scale(24);
    m.panelAreaHeight = m.Scale(92);
    m.panelMargin = m.Scale(3);
    m.panelCaptionHeight = m.Scale(17);
    m.panelPadding = m.Scale(3);
    m.largeImage = m.Scale(32);
    m.smallImage = m.Scale(16);
    m.buttonPadding = m.Scale(5);
    m.buttonMinWidth = m.Scale(42);
    m.tabPadding = m.Scale(12);
    m.tabGap = m.Scale(2);
    m.appButton = m.Scale(45);
    m.captionButtonWidth = m.Scale(30);
    m.menuItemHeight = m.Scale(42);
    m.menuWidth = m.Scale(240);
    m.menuBottomHeight = m.Scale(30);
    m.statusHeight = m.Scale(23);
    m.statusPadding = m.Scale(7);
    m.fontHeight = m.Scale(12);
    m.keyTipHeight = m.Scale(17);
    return m;
}

int LargeButtonWidth(const CRibbonMetrics& m, int labelWidth) {
    return std::max(
        {m.buttonMinWidth, m.largeImage + 2 * m.buttonPadding, labelWidth + 2 * m.buttonPadding});
}

namespace {

int PanelFullWidth(const CRibbonMetrics& m, const CRibbonLayoutPanel& panel) {
    int buttons = 0;
    for (int label : panel.buttonLabelWidths)
        buttons += LargeButtonWidth(m, label);
    return std::max(buttons, panel.captionWidth + 2 * m.buttonPadding) + 2 * m.panelPadding;
}

// The collapsed button shows the panel icon in a small frame with the name
// below; it is always narrower than the panel it replaces, so every panel that
// folds gives room back.
int PanelCollapsedWidth(const CRibbonMetrics& m, const CRibbonLayoutPanel& panel) {
    const int iconBox = m.smallImage + m.Scale(12);
    return std::max(iconBox, panel.captionWidth) + m.Scale(8) + 2 * m.panelPadding;
}

} // namespace

CRibbonLayout LayoutRibbon(const CRibbonLayoutInput& in) {
    CRibbonLayout out;
    const CRibbonMetrics m = CRibbonMetrics::ForDpi(in.dpi);
    out.metrics = m;
    out.height = m.RibbonHeight();
    const int width = std::max(in.width, 0);

    // Title row.
    out.caption = {0, 0, width, m.captionHeight};
    int right = width;
    if (in.captionButtons) {
        const int buttonHeight = m.captionHeight - m.Scale(4);
        out.closeButton = {right - m.captionButtonWidth, 0, right, buttonHeight};
        right -= m.captionButtonWidth;
        out.maximizeButton = {right - m.captionButtonWidth, 0, right, buttonHeight};
        right -= m.captionButtonWidth;
        out.minimizeButton = {right - m.captionButtonWidth, 0, right, buttonHeight};
        right -= m.captionButtonWidth;
    }
    // The application button straddles the title row and the tab row.
    const int appSize = m.Scale(in.appButtonSize > 0 ? in.appButtonSize : 45);
    out.appButton = {m.Scale(4), m.Scale(2), m.Scale(4) + appSize, m.Scale(2) + appSize};

    const int titleLeft = out.appButton.right + m.tabPadding;
    const int titleRight = std::max(titleLeft, right - m.tabPadding);
    int left = (width - in.titleWidth) / 2;
    left = std::clamp(left, titleLeft, std::max(titleLeft, titleRight - in.titleWidth));
    out.title = {left, 0, std::min(left + in.titleWidth, titleRight), m.captionHeight};

    // Tabs, after the application button.
    int x = out.appButton.right + m.Scale(8);
    for (int textWidth : in.tabWidths) {
        int w = textWidth + 2 * m.tabPadding;
        out.tabs.push_back({x, m.captionHeight, x + w, m.captionHeight + m.tabHeight});
        x += w + m.tabGap;
    }

    // Panels: collapse from the right until the rest fits.
    const int areaTop = m.captionHeight + m.tabHeight;
    out.panelArea = {0, areaTop, width, areaTop + m.panelAreaHeight};
    const std::size_t count = in.panels.size();
    out.panels.resize(count);
    std::vector<int> widths(count);
    int total = m.panelMargin;
    for (std::size_t i = 0; i < count; ++i) {
        out.panels[i].fullWidth = PanelFullWidth(m, in.panels[i]);
        widths[i] = out.panels[i].fullWidth;
        total += widths[i] + m.panelMargin;
    }
    for (std::size_t i = count; i-- > 0 && total > width;) {
        int narrow = std::min(widths[i], PanelCollapsedWidth(m, in.panels[i]));
        total -= widths[i] - narrow;
        widths[i] = narrow;
        out.panels[i].collapsed = true;
    }

    const int panelTop = areaTop + m.panelMargin;
    const int panelBottom = out.panelArea.bottom - m.panelMargin;
    x = m.panelMargin;
    for (std::size_t i = 0; i < count; ++i) {
        CRibbonPanelLayout& p = out.panels[i];
        p.rect = {x, panelTop, x + widths[i], panelBottom};
        if (p.collapsed) {
            const int inset = m.Scale(1);
            p.collapsedButton = {p.rect.left + inset, p.rect.top + inset, p.rect.right - inset,
                                 p.rect.bottom - inset};
        } else {
            p.caption = {p.rect.left, panelBottom - m.panelCaptionHeight, p.rect.right,
                         panelBottom};
            int bx = p.rect.left + m.panelPadding;
            for (int label : in.panels[i].buttonLabelWidths) {
                int w = LargeButtonWidth(m, label);
                p.buttons.push_back(
                    {bx, panelTop + m.Scale(2), bx + w, p.caption.top - m.Scale(2)});
                bx += w;
            }
        }
        x += widths[i] + m.panelMargin;
    }
    return out;
}

std::wstring StripMnemonic(const std::wstring& label) {
    std::wstring out;
    out.reserve(label.size());
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&' && i + 1 < label.size())
            ++i;
        else if (label[i] == L'&')
            continue;
        out += label[i];
    }
    return out;
}

std::vector<std::wstring> AssignKeyTips(const std::vector<std::wstring>& labels,
                                        std::vector<std::wstring> taken) {
    auto free = [&](wchar_t c) {
        return std::find(taken.begin(), taken.end(), std::wstring(1, c)) == taken.end();
    };
    auto letterOrDigit = [](wchar_t c) {
        return (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
    };
    std::vector<std::wstring> tips;
    tips.reserve(labels.size());
    for (const std::wstring& label : labels) {
        std::wstring candidates;
        for (std::size_t i = 0; i + 1 < label.size(); ++i) {
            if (label[i] != L'&')
                continue;
            if (label[i + 1] == L'&') {
                ++i; // "&&" is a plain '&'
                continue;
            }
            candidates += static_cast<wchar_t>(std::towupper(label[i + 1]));
            break;
        }
        for (wchar_t c : StripMnemonic(label))
            candidates += static_cast<wchar_t>(std::towupper(c));
        candidates += L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::wstring tip;
        for (wchar_t c : candidates)
            if (letterOrDigit(c) && free(c)) {
                tip.assign(1, c);
                break;
            }
        // More than 36 elements at one level: the rest get no tip.
        if (!tip.empty())
            taken.push_back(tip);
        tips.push_back(tip);
    }
    return tips;
}
