#pragma once
// A push button shown as a hyperlink: underlined link-coloured text, a hand
// cursor, a tooltip, and a click that opens its address in the user's browser.
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

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    SIZE TextSize() const;
    void Draw(const DRAWITEMSTRUCT& dis);
    std::wstring m_strURL;
    HWND m_hTooltip = nullptr;
    HFONT m_hUnderlined = nullptr;
};
