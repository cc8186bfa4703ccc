#pragma once
// A drawing context that collects a paint in an off-screen bitmap covering the
// target's clip box and copies it to the target in one block when it goes, so
// a control that paints its background first and its content after does not
// flicker. Printer and metafile targets are drawn on directly: they record
// drawing commands rather than pixels, and a bitmap would only cost memory.
#include <windows.h>

class CXMemDC {
public:
    explicit CXMemDC(HDC hTargetDC);
    ~CXMemDC();
    CXMemDC(const CXMemDC&) = delete;
    CXMemDC& operator=(const CXMemDC&) = delete;

    // The context to draw on: the memory context, or the target itself.
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    bool IsOffscreen() const { return m_bOffscreen != 0; }
    // True for contexts drawn on directly (printers, plotters, metafiles).
    static bool DrawsDirectly(HDC hDC);

    HBITMAP m_bitmap = nullptr;     // the off-screen bitmap, clip-box sized
    HGDIOBJ m_pOldBitmap = nullptr; // selected in the memory context before ours
    HDC m_pTargetDC = nullptr;
    RECT m_rcArea{}; // the target's clip box at construction
    int m_bOffscreen = 0;

private:
    HDC m_hDC = nullptr; // memory context (owned) or the target (borrowed)
};
