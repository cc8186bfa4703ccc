#pragma once
// A push button shown as a hyperlink, the way links look everywhere else on
// the system: underlined text in the hot-light colour (a visited colour once it
// was followed) on its parent's background, a hand cursor, a focus rectangle
// when it was reached by the keyboard, a tooltip, and a click that opens its
// address in the user's browser.
#include "framework/wnd.h"

#include <functional>
#include <string>

class CLinkCtrl : public CWnd {
public:
    CLinkCtrl();
    ~CLinkCtrl() override;

    void SetURL(std::wstring url) { m_strURL = std::move(url); }
    const std::wstring& GetURL() const { return m_strURL; }
    // Needs the window: creates the tooltip on first use.
    void SetTooltip(const std::wstring& text);
    std::wstring GetTooltip() const;
    // Resizes the control to its text; the top-left corner stays.
    void SizeToContent();
    // Opens an address; the browser by default (tests replace it).
    std::function<void(const std::wstring&)> m_open;

    // Followed once: drawn in the visited colour from then on.
    bool IsVisited() const { return m_bVisited; }
    void SetVisited(bool bVisited = true);
    // The text colour on `background`: the system's hot-light colour, or the
    // visited colour after use; the grey text colour while disabled. A colour
    // that would not read on the background (contrast below 4.5:1, as with
    // some themes' pale hot-light grey) gives way to the usual link blue or
    // purple, light or dark as the background needs.
    COLORREF GetLinkColor(COLORREF background) const;
    // The colour of a followed link (the purple users know from web pages).
    static constexpr COLORREF kVisitedColor = RGB(0x80, 0x00, 0x80);
    // How well two colours read on each other: 1 (the same) to 21 (black on white).
    static double ContrastRatio(COLORREF a, COLORREF b);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    SIZE TextSize() const;
    void Draw(const DRAWITEMSTRUCT& dis);
    bool FocusCueShown() const;
    HBRUSH ParentBackground(HDC dc) const;
    std::wstring m_strURL;
    bool m_bVisited = false;
    // The focus came with a click: no focus rectangle until the focus leaves.
    bool m_bMouseFocus = false;
    HWND m_hTooltip = nullptr;
    HFONT m_hUnderlined = nullptr;
};
