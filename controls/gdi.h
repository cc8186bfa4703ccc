#pragma once
// The fills and frames the controls draw with, and owners of saved DC state
// and client DCs beside the framework's GDI owners. Every object created
// while drawing is released by its owner, and every selection is undone when
// its guard goes.
#include "framework/gdi.h"

#include <windows.h>

// The owners are the framework's; the controls know them by these names.
using CPen = CPenHandle;
using CBrush = CBrushHandle;
using CFont = CFontHandle;
using CBitmap = CBitmapHandle;

// Saves the whole state of a context (clip region included) and restores it.
class CSaveDC {
public:
    explicit CSaveDC(HDC hDC) : m_hDC(hDC), m_nSaved(SaveDC(hDC)) {}
    ~CSaveDC() {
        if (m_nSaved)
            RestoreDC(m_hDC, m_nSaved);
    }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;

private:
    HDC m_hDC;
    int m_nSaved;
};

// A device context a window lends for its client area.
class CClientDC {
public:
    explicit CClientDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(GetDC(hWnd)) {}
    ~CClientDC() {
        if (m_hDC)
            ReleaseDC(m_hWnd, m_hDC);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// Fills `rc` with one colour without creating a brush; the context's
// background colour is left as it was.
inline void FillSolidRect(HDC hDC, const RECT& rc, COLORREF clr) {
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    COLORREF old = SetBkColor(hDC, clr);
    ExtTextOutW(hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    SetBkColor(hDC, old);
}

// A one-pixel frame: top and left edges in `topLeft`, bottom and right edges
// (the last column and row inside `rc`) in `bottomRight`.
inline void Draw3dRect(HDC hDC, const RECT& rc, COLORREF topLeft, COLORREF bottomRight) {
    const int x = rc.left, y = rc.top, cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return;
    FillSolidRect(hDC, {x, y, x + cx - 1, y + 1}, topLeft);
    FillSolidRect(hDC, {x, y, x + 1, y + cy - 1}, topLeft);
    FillSolidRect(hDC, {x + cx - 1, y, x + cx, y + cy}, bottomRight);
    FillSolidRect(hDC, {x, y + cy - 1, x + cx, y + cy}, bottomRight);
}
