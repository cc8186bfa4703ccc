#include "controls/xmemdc.h"

bool CXMemDC::DrawsDirectly(HDC hDC) {
    DWORD type = GetObjectType(hDC);
    if (type == OBJ_METADC || type == OBJ_ENHMETADC)
        return true;
    int technology = GetDeviceCaps(hDC, TECHNOLOGY);
    return technology == DT_RASPRINTER || technology == DT_PLOTTER;
}

CXMemDC::CXMemDC(HDC hTargetDC) : m_pTargetDC(hTargetDC), m_hDC(hTargetDC) {
    if (!hTargetDC || DrawsDirectly(hTargetDC))
        return;
    // Without a usable clip box there is nothing to double-buffer: the
    // drawing goes straight to the target, which clips it as usual.
    if (GetClipBox(hTargetDC, &m_rcArea) == ERROR)
        return;
    const int cx = m_rcArea.right - m_rcArea.left, cy = m_rcArea.bottom - m_rcArea.top;
    if (cx <= 0 || cy <= 0)
        return;
    HDC hMemDC = CreateCompatibleDC(hTargetDC);
    if (!hMemDC)
        return;
    m_bitmap = CreateCompatibleBitmap(hTargetDC, cx, cy);
    if (!m_bitmap) {
        DeleteDC(hMemDC);
        return;
    }
    m_pOldBitmap = SelectObject(hMemDC, m_bitmap);
    // Drawing keeps the target's coordinates.
    SetWindowOrgEx(hMemDC, m_rcArea.left, m_rcArea.top, nullptr);
    m_hDC = hMemDC;
    m_bOffscreen = 1;
}

CXMemDC::~CXMemDC() {
    if (!m_bOffscreen)
        return; // the target was only borrowed
    BitBlt(m_pTargetDC, m_rcArea.left, m_rcArea.top, m_rcArea.right - m_rcArea.left,
           m_rcArea.bottom - m_rcArea.top, m_hDC, m_rcArea.left, m_rcArea.top, SRCCOPY);
    SelectObject(m_hDC, m_pOldBitmap);
    DeleteObject(m_bitmap);
    DeleteDC(m_hDC);
}
