#pragma once
// The status bar of a ribbon frame: a dark strip whose main area holds panes
// from the left and whose extended area holds panes at the right end. A pane
// is as wide as the text it was added with; later texts are drawn in that
// room. While the frame shows a command's prompt (a menu item is highlighted),
// the prompt covers the main area.
#include "framework/gdi.h"
#include "framework/ribbon_layout.h"
#include "framework/wnd.h"

#include <memory>
#include <string>
#include <vector>

class CFrameWnd;
class CFrameWndEx;

class CRibbonStatusBarPane {
public:
    CRibbonStatusBarPane(UINT nID, std::wstring text, bool bIsStatic = true)
        : m_nID(nID), m_strText(std::move(text)), m_bStatic(bIsStatic) {}
    UINT GetID() const { return m_nID; }
    const std::wstring& GetText() const { return m_strText; }
    void SetText(const std::wstring& text) { m_strText = text; }
    const std::wstring& GetLabel() const { return m_strLabel; }
    bool IsStatic() const { return m_bStatic; }
    bool IsVisible() const { return m_bVisible; }

private:
    friend class CRibbonStatusBar;
    UINT m_nID;
    std::wstring m_strText, m_strLabel;
    bool m_bStatic;
    bool m_bVisible = true;
    std::wstring m_strWidthText; // the text its width is measured from, at any DPI
};

class CRibbonStatusBar : public CWnd {
public:
    static constexpr UINT kDefaultID = 59393;

    CRibbonStatusBar() = default;
    ~CRibbonStatusBar() override;

    // A visible child at the bottom of `pFrame`.
    bool Create(CFrameWnd* pFrame, UINT nID = kDefaultID);
    CRibbonStatusBarPane* AddElement(std::unique_ptr<CRibbonStatusBarPane> pane,
                                     const std::wstring& label, bool bVisible = true);
    CRibbonStatusBarPane* AddExtendedElement(std::unique_ptr<CRibbonStatusBarPane> pane,
                                             const std::wstring& label, bool bVisible = true);
    CRibbonStatusBarPane* FindElement(UINT nID) const;
    // Shortcuts by id: false / empty when there is no such pane.
    bool SetPaneText(UINT nID, const std::wstring& text);
    std::wstring GetPaneText(UINT nID) const;
    // Makes pane `nID` as wide as the text it shows now (instead of the text
    // it was added with), for a pane whose texts differ much in length;
    // false when there is no such pane.
    bool FitPaneToText(UINT nID);
    // The prompt over the main area; empty brings the panes back.
    void SetMessageText(const std::wstring& text);
    const std::wstring& GetMessageText() const { return m_strMessage; }

    void SetDpi(int dpi);
    int GetDpi() const { return m_nDpi; }
    int GetHeight() const { return CRibbonMetrics::ForDpi(m_nDpi).statusHeight; }
    // Client rectangle of pane `nID` at the current size (empty when none).
    RECT GetPaneRect(UINT nID) const;
    // The left end of the extended area.
    int GetExtendedLeft() const;
    void Draw(HDC hdc) const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    using PaneList = std::vector<std::unique_ptr<CRibbonStatusBarPane>>;
    // Both areas take panes the same way; only the list differs.
    CRibbonStatusBarPane* AddTo(PaneList& area, std::unique_ptr<CRibbonStatusBarPane> pane,
                                const std::wstring& label, bool bVisible);
    int PaneWidth(const CRibbonStatusBarPane& pane) const;
    PaneList m_main, m_extended;
    std::wstring m_strMessage;
    CFrameWndEx* m_pFrame = nullptr;
    int m_nDpi = 96;
    CFontHandle m_font;
};
