#pragma once
// The look of the ribbon bar, its drop-downs and the ribbon status bar: one
// dark scheme (black title and tab rows, silver panels, amber hot and pressed
// buttons) and the drawing of each part. Shared by the bar, its popups and
// the status bar so they always match.
#include "framework/image_strip.h"
#include "framework/ribbon_layout.h"

#include <windows.h>

#include <string>

namespace ribbon_paint {

struct Scheme {
    COLORREF captionTop = RGB(0x5A, 0x5A, 0x5A), captionBottom = RGB(0x33, 0x33, 0x33);
    COLORREF titleText = RGB(0xF2, 0xF2, 0xF2), titleTextInactive = RGB(0xA8, 0xA8, 0xA8);
    COLORREF tabRowTop = RGB(0x30, 0x30, 0x30), tabRowBottom = RGB(0x1E, 0x1E, 0x1E);
    COLORREF tabText = RGB(0xF0, 0xF0, 0xF0), tabActiveText = RGB(0x10, 0x10, 0x10);
    COLORREF tabActiveTop = RGB(0xF4, 0xF5, 0xF6), tabActiveBottom = RGB(0xDC, 0xDE, 0xE1);
    COLORREF tabHot = RGB(0x55, 0x55, 0x55);
    COLORREF areaTop = RGB(0xDC, 0xDE, 0xE1), areaBottom = RGB(0xB9, 0xBC, 0xC1);
    COLORREF panelTop = RGB(0xEE, 0xEF, 0xF1), panelBottom = RGB(0xD2, 0xD5, 0xD9);
    COLORREF panelBorder = RGB(0x8E, 0x92, 0x98);
    COLORREF panelCaptionTop = RGB(0x86, 0x8A, 0x90), panelCaptionBottom = RGB(0x62, 0x66, 0x6C);
    COLORREF panelCaptionText = RGB(0xFF, 0xFF, 0xFF);
    COLORREF text = RGB(0x12, 0x12, 0x12), disabledText = RGB(0x8C, 0x8C, 0x8C);
    COLORREF hotTop = RGB(0xFF, 0xF4, 0xC8), hotBottom = RGB(0xFF, 0xD6, 0x60);
    COLORREF hotBorder = RGB(0xD8, 0xB0, 0x48);
    COLORREF pressedTop = RGB(0xFC, 0xC2, 0x86), pressedBottom = RGB(0xF6, 0x9A, 0x3C);
    COLORREF pressedBorder = RGB(0xB8, 0x7C, 0x34);
    COLORREF orbOuter = RGB(0x20, 0x20, 0x20), orbTop = RGB(0x8A, 0x8A, 0x8A),
             orbBottom = RGB(0x28, 0x28, 0x28);
    COLORREF captionGlyph = RGB(0xEE, 0xEE, 0xEE), captionHot = RGB(0x70, 0x70, 0x70),
             closeHot = RGB(0xD0, 0x3E, 0x2E);
    COLORREF keyTipTop = RGB(0xFA, 0xFA, 0xFA), keyTipBottom = RGB(0xD6, 0xD6, 0xD6),
             keyTipBorder = RGB(0x50, 0x50, 0x50);
    COLORREF menuBack = RGB(0xFA, 0xFA, 0xFA), menuFrame = RGB(0x3A, 0x3A, 0x3A),
             menuBottomTop = RGB(0x4E, 0x4E, 0x4E), menuBottomBottom = RGB(0x2C, 0x2C, 0x2C),
             menuBottomText = RGB(0xF2, 0xF2, 0xF2);
    COLORREF statusTop = RGB(0x5C, 0x5C, 0x5C), statusBottom = RGB(0x3A, 0x3A, 0x3A);
    COLORREF statusExtTop = RGB(0x44, 0x44, 0x44), statusExtBottom = RGB(0x24, 0x24, 0x24);
    COLORREF statusText = RGB(0xF2, 0xF2, 0xF2), statusSeparator = RGB(0x22, 0x22, 0x22);
};
const Scheme& Colors();

RECT ToRect(const CRibbonRect& r);
void Gradient(HDC hdc, const RECT& rc, COLORREF top, COLORREF bottom);
void Frame(HDC hdc, const RECT& rc, COLORREF color, int radius);
// Text in `color`, single line, without its mnemonic marks (unless `format`
// has DT_NOPREFIX: the text is shown as it is).
void Text(HDC hdc, HFONT font, const std::wstring& text, const RECT& rc, COLORREF color,
          UINT format);
// Hot / pressed background of a button (nothing for normal).
enum class State { normal, hot, pressed, disabled };
void ButtonFace(HDC hdc, const RECT& rc, State state, int radius);
// A picture index from the small strip at `size`, or from the large strip
// when the small one lacks it or would be enlarged.
void Picture(HDC hdc, const CImageStrip* small, const CImageStrip* large, int smallIndex,
             int largeIndex, int x, int y, int size, bool disabled);
// A large button: picture on top, label below.
void LargeButton(HDC hdc, const CRibbonMetrics& m, HFONT font, const RECT& rc,
                 const std::wstring& label, const CImageStrip* small, const CImageStrip* large,
                 int smallIndex, int largeIndex, State state);
// A key tip label centred on (cx, top).
void KeyTip(HDC hdc, const CRibbonMetrics& m, HFONT font, const std::wstring& tip, int cx, int top);

} // namespace ribbon_paint
