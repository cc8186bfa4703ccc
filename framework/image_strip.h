#pragma once
// Strips of equal-sized pictures side by side (index 0 at the left), as the
// ribbon and its menus draw them. Pictures are kept as premultiplied 32-bit
// pixels whatever the bitmap was: a 24-bit strip's transparent colour (light
// grey, 192 192 192) becomes transparent. For a DPI above 96 a picture is
// resampled by area averaging to the size asked for, once per size, so it is
// never a blocky stretch; the disabled look is a lighter grey of the same
// picture.
#include "framework/pixels.h"

#include <windows.h>

#include <map>
#include <memory>

class CImageStrip {
public:
    CImageStrip();
    CImageStrip(const CImageStrip&) = delete;
    CImageStrip& operator=(const CImageStrip&) = delete;
    ~CImageStrip();

    // Width and height of one picture; set before Load when they differ from
    // the bitmap's height.
    void SetImageSize(int cx, int cy) {
        m_cx = cx;
        m_cy = cy;
    }
    // The pictures themselves, e.g. decoded elsewhere; drops cached sizes.
    void SetPixels(CPixels pixels);
    int GetCount() const { return m_cx > 0 ? m_pixels.width / m_cx : 0; }
    int GetImageWidth() const { return m_cx; }
    int GetImageHeight() const { return m_cy; }
    bool IsValid(int index) const { return index >= 0 && index < GetCount(); }
    // Picture `index` at its own size.
    CPixels Cell(int index) const;

    // Bitmap resource `id` of the program; 24-bit ones have the light grey key.
    bool Load(UINT id);
    // Draws picture `index` as a `size` x `size` square at (x, y), blended over
    // what is there. False for an index the strip does not have.
    bool Draw(HDC hdc, int index, int x, int y, int size, bool disabled = false) const;

private:
    CPixels m_pixels;
    int m_cx = 0, m_cy = 0;
    struct Scaled;
    mutable std::map<int, std::unique_ptr<Scaled>> m_scaled; // key: size * 2 + disabled
};
