#pragma once
// Owners of GDI objects and of an off-screen drawing surface, so that no
// paint path can leak a font, brush or bitmap.
#include <windows.h>

#include <utility>

template <class H> class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(H h) : m_h(h) {}
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_h, nullptr));
        return *this;
    }
    ~CGdiObject() { Reset(); }
    void Reset(H h = nullptr) {
        if (m_h)
            DeleteObject(m_h);
        m_h = h;
    }
    H Get() const { return m_h; }
    operator H() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    H m_h = nullptr;
};
using CFontHandle = CGdiObject<HFONT>;
using CBrushHandle = CGdiObject<HBRUSH>;
using CPenHandle = CGdiObject<HPEN>;
using CBitmapHandle = CGdiObject<HBITMAP>;

// Selects an object into a DC for one scope and puts the previous one back
// (a null object selects nothing).
class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ obj)
        : m_hdc(hdc), m_old(obj ? SelectObject(hdc, obj) : nullptr) {}
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    ~CSelectObject() {
        if (m_old)
            SelectObject(m_hdc, m_old);
    }

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};

// A memory DC with a compatible bitmap of the given size: draw there, then
// copy to the target in one step, so a repaint never flickers.
class COffscreen {
public:
    COffscreen(HDC target, int cx, int cy)
        : m_target(target), m_cx(cx > 0 ? cx : 1), m_cy(cy > 0 ? cy : 1) {
        m_hdc = CreateCompatibleDC(target);
        m_bitmap.Reset(CreateCompatibleBitmap(target, m_cx, m_cy));
        if (m_hdc && m_bitmap)
            m_old = SelectObject(m_hdc, m_bitmap);
    }
    COffscreen(const COffscreen&) = delete;
    COffscreen& operator=(const COffscreen&) = delete;
    ~COffscreen() {
        if (m_hdc) {
            if (m_old)
                SelectObject(m_hdc, m_old);
            DeleteDC(m_hdc);
        }
    }
    bool IsValid() const { return m_hdc && m_bitmap && m_old; }
    HDC Dc() const { return m_hdc; }
    void CopyTo(int x, int y) const { BitBlt(m_target, x, y, m_cx, m_cy, m_hdc, 0, 0, SRCCOPY); }

private:
    HDC m_target;
    int m_cx, m_cy;
    HDC m_hdc = nullptr;
    CBitmapHandle m_bitmap;
    HGDIOBJ m_old = nullptr;
};

// Answers WM_PAINT for a window whose `draw(hdc)` paints all of its `cx` x `cy`
// client area: through an off-screen copy, so the repaint never flickers, or
// straight onto the window when no copy can be made.
template <class Draw> void PaintOffscreen(HWND hWnd, int cx, int cy, Draw draw) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    COffscreen off(hdc, cx, cy);
    if (off.IsValid()) {
        draw(off.Dc());
        off.CopyTo(0, 0);
    } else {
        draw(hdc);
    }
    EndPaint(hWnd, &ps);
}

// The painting messages of a window whose `draw(hdc)` paints all of its client
// area: no background erase, WM_PAINT through an off-screen copy,
// WM_PRINTCLIENT straight into the context given. True when `msg` was one of
// them; its answer is then in `result`.
template <class Draw>
bool HandleOffscreenPaint(HWND hWnd, UINT msg, WPARAM wParam, Draw draw, LRESULT& result) {
    switch (msg) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT: {
        RECT rc{};
        GetClientRect(hWnd, &rc);
        PaintOffscreen(hWnd, rc.right, rc.bottom, draw);
        result = 0;
        return true;
    }
    case WM_PRINTCLIENT:
        draw(reinterpret_cast<HDC>(wParam));
        result = 0;
        return true;
    default:
        return false;
    }
}

// The DPI the window is shown at (96 when the system cannot say).
inline int WindowDpi(HWND hWnd) {
    UINT dpi = hWnd ? GetDpiForWindow(hWnd) : 0;
    return dpi ? static_cast<int>(dpi) : 96;
}
