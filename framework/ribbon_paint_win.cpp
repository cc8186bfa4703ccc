#include "framework/ribbon_paint.h"

#include "framework/gdi.h"

#include <algorithm>

namespace ribbon_paint {

const Scheme& Colors() {
    static const Scheme scheme;
    return scheme;
}

RECT ToRect(const CRibbonRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

void Gradient(HDC hdc, const RECT& rc, COLORREF top, COLORREF bottom) {
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    TRIVERTEX v[2] = {};
    v[0].x = rc.left;
    v[0].y = rc.top;
    v[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
    v[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
    v[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
    v[1].x = rc.right;
    v[1].y = rc.bottom;
    v[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
    v[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
    v[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
    GRADIENT_RECT g{0, 1};
    GradientFill(hdc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

void Frame(HDC hdc, const RECT& rc, COLORREF color, int radius) {
    CPenHandle pen(CreatePen(PS_SOLID, 1, color));
    CSelectObject selPen(hdc, pen);
    CSelectObject selBrush(hdc, GetStockObject(NULL_BRUSH));
    RoundRect(hdc, rc.left, rc.top, rc.right, rc.bottom, radius, radius);
}

void Text(HDC hdc, HFONT font, const std::wstring& text, const RECT& rc, COLORREF color,
          UINT format) {
    CSelectObject sel(hdc, font);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, color);
    RECT r = rc;
    // Mnemonic marks are removed here rather than hidden by DrawText, which
    // not every system honours.
    const std::wstring shown = (format & DT_NOPREFIX) ? text : StripMnemonic(text);
    DrawTextW(hdc, shown.c_str(), static_cast<int>(shown.size()), &r,
              format | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void ButtonFace(HDC hdc, const RECT& rc, State state, int radius) {
    const Scheme& c = Colors();
    if (state == State::hot) {
        Gradient(hdc, rc, c.hotTop, c.hotBottom);
        Frame(hdc, rc, c.hotBorder, radius);
    } else if (state == State::pressed) {
        Gradient(hdc, rc, c.pressedTop, c.pressedBottom);
        Frame(hdc, rc, c.pressedBorder, radius);
    }
}

void Picture(HDC hdc, const CImageStrip* small, const CImageStrip* large, int smallIndex,
             int largeIndex, int x, int y, int size, bool disabled) {
    bool smallFits = small && small->IsValid(smallIndex) && small->GetImageWidth() >= size;
    if (smallFits || !large || !large->IsValid(largeIndex)) {
        if (small && small->Draw(hdc, smallIndex, x, y, size, disabled))
            return;
    }
    if (large)
        large->Draw(hdc, largeIndex, x, y, size, disabled);
}

void LargeButton(HDC hdc, const CRibbonMetrics& m, HFONT font, const RECT& rc,
                 const std::wstring& label, const CImageStrip* small, const CImageStrip* large,
                 int smallIndex, int largeIndex, State state) {
    ButtonFace(hdc, rc, state, m.Scale(4));
    const int x = (rc.left + rc.right - m.largeImage) / 2;
    const int y = rc.top + m.Scale(4);
    Picture(hdc, small, large, smallIndex, largeIndex, x, y, m.largeImage,
            state == State::disabled);
    RECT text{rc.left + m.Scale(2), y + m.largeImage + m.Scale(3), rc.right - m.Scale(2),
              rc.bottom - m.Scale(2)};
    Text(hdc, font, label, text, state == State::disabled ? Colors().disabledText : Colors().text,
         DT_CENTER | DT_TOP);
}

void KeyTip(HDC hdc, const CRibbonMetrics& m, HFONT font, const std::wstring& tip, int cx,
            int top) {
    if (tip.empty())
        return;
    SIZE size{};
    {
        CSelectObject sel(hdc, font);
        GetTextExtentPoint32W(hdc, tip.c_str(), static_cast<int>(tip.size()), &size);
    }
    const int w = std::max<int>(size.cx + m.Scale(8), m.keyTipHeight);
    RECT rc{cx - w / 2, top, cx - w / 2 + w, top + m.keyTipHeight};
    const Scheme& c = Colors();
    Gradient(hdc, rc, c.keyTipTop, c.keyTipBottom);
    Frame(hdc, rc, c.keyTipBorder, m.Scale(3));
    Text(hdc, font, tip, rc, c.text, DT_CENTER | DT_VCENTER);
}

} // namespace ribbon_paint
