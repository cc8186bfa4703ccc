#pragma once
// The frame's status bar: a row of panes, each with a number and a text. The
// first pane is the message pane: it stretches, and the frame shows a
// command's prompt there while a menu item is highlighted. Other panes are as
// wide as the text they were given first (it serves as their width template).
#include "framework/wnd.h"

#include <string>
#include <vector>

struct CStatusPane {
    UINT nID;
    std::wstring text;
};

class CStatusBar : public CWnd {
public:
    static constexpr UINT kDefaultID = 59393;

    // Creates the bar as a visible child at the bottom of `pParent`.
    bool Create(CWnd* pParent, UINT nID = kDefaultID);
    // Replaces all panes.
    bool SetPanes(const std::vector<CStatusPane>& panes);
    int CommandToIndex(UINT nID) const; // -1 when there is no such pane
    bool SetPaneText(UINT nID, const std::wstring& text);
    std::wstring GetPaneText(UINT nID) const;
    int GetPaneCount() const { return static_cast<int>(m_panes.size()); }
    // Message pane (index 0) text, for prompts.
    void SetMessageText(const std::wstring& text);
    std::wstring GetMessageText() const;
    // Height the bar wants; the frame lays it out.
    int GetHeight() const;
    // Re-lays out the bar and its panes to the parent's width.
    void Reposition();

private:
    void ApplyParts();
    std::vector<CStatusPane> m_panes;
    std::vector<int> m_widths; // fixed widths of panes 1.., in pixels
};
