#pragma once
// A frame of the ribbon family: a ribbon bar across the top that also serves
// as the window caption, the view, and a ribbon status bar at the bottom.
//
// The caption: the frame keeps its ordinary overlapped style, so the system
// still moves, sizes, maximises, minimises and closes it, with the mouse and
// with Alt+Space and Alt+F4. Where the system lets a program draw its own
// caption (Windows), the frame's client area reaches up over the caption while
// a ribbon bar is attached (its top border stays as thick as the side
// borders) and the ribbon draws the title row there: application button,
// title, minimise, maximise and close. The frame answers the hit tests of that
// row as the caption would, so dragging, double-clicking, the system menu and
// the window manager's snapping keep working, and it turns clicks on the three
// drawn buttons into the system commands. Under Wine the caption belongs to
// the X window manager (Wine cuts it off the window whether or not one runs),
// so there the system's caption stays, and the ribbon's top row carries only
// the application button; it still moves the window when dragged.
#include "framework/frame.h"

class CRibbonBar;
class CRibbonStatusBar;

class CFrameWndEx : public CFrameWnd {
public:
    CFrameWndEx() = default;

    CRibbonBar* GetRibbonBar() const { return m_pRibbonBar; }
    CRibbonStatusBar* GetRibbonStatusBar() const { return m_pRibbonStatusBar; }
    // The bars register themselves when they are created.
    void SetRibbonBar(CRibbonBar* pBar);
    void SetRibbonStatusBar(CRibbonStatusBar* pBar);

    // Ribbon at the top, status bar at the bottom, the view between.
    void RecalcLayout() override;
    // The ribbon's keys (Alt, key tips) before the accelerators.
    bool PreTranslateMessage(MSG& msg) override;
    void SetMessageText(const std::wstring& text) override;
    std::wstring GetMessageText() const override;
    // Hit test of the frame at a screen point (what WM_NCHITTEST answers).
    LRESULT HitTestFrame(POINT ptScreen);
    // Whether the ribbon draws the caption (the default comes from the system).
    void SetRibbonCaption(bool bRibbon);
    bool IsRibbonCaption() const { return m_bRibbonCaption; }
    static bool SystemAllowsOwnCaption();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnDpiChanged(int dpi, const RECT* suggested);
    CRibbonBar* m_pRibbonBar = nullptr;
    CRibbonStatusBar* m_pRibbonStatusBar = nullptr;
    WPARAM m_nNcPressed = 0; // caption button held down (HTMINBUTTON, ...)
    bool m_bNcTracking = false;
    bool m_bRibbonCaption = SystemAllowsOwnCaption();
};
