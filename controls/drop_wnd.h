#pragma once
// The drop-down of CAdvComboBox: a pop-up holding a list of the combo's items
// (copies, so the combo may change while it is open), a vertical scroll bar and
// a size grip. It keeps the mouse while open: moving over the list selects,
// releasing on an enabled item picks it, a press outside closes.
#include "controls/combo_rules.h"
#include "controls/gdi.h"
#include "framework/wnd.h"

#include <windows.h>

#include <vector>

class CAdvComboBox;

class CDropListBox : public CWnd {
public:
    explicit CDropListBox(std::vector<AdvComboItem> items) : m_items(std::move(items)) {}
    const std::vector<AdvComboItem>& Items() const { return m_items; }
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
    int GetItemHeight() const { return static_cast<int>(SendMessage(LB_GETITEMHEIGHT)); }
    // The item under a client point, or -1.
    int ItemFromPoint(POINT pt) const;
    bool IsEnabled(int nIndex) const;
    // The widest item text in `hFont`, in pixels.
    int WidestText(HFONT hFont) const;
    void Fill();

protected:
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::vector<AdvComboItem> m_items; // the list's item data points into this
};

class CDropScrollBar : public CWnd {
public:
    // Range, page and position from the list.
    void Sync(const CDropListBox& list, int nPage);
};

class CDropWnd : public CWnd {
public:
    CDropWnd(CAdvComboBox& combo, std::vector<AdvComboItem> items, DWORD dwComboStyle);
    ~CDropWnd() override;

    // Creates, places and shows the drop-down below (or above) the combo with
    // item `nSel` selected, and takes the mouse.
    bool Open(int nSel);

    CDropListBox& List() { return m_list; }
    int GetCurSel() const { return m_list.GetCurSel(); }
    void SetCurSel(int nIndex);
    int GetTopIndex() const { return m_list.GetTopIndex(); }
    int SetTopIndex(int nIndex);
    // Rows the list shows at once (a page for the keys and the scroll bar).
    int VisibleRows() const;
    RECT GetGripRect() const;
    SIZE GetInitialSize() const { return m_sizeInitial; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT nType, int cx, int cy) override;

private:
    void OnVScroll(int code);
    void OnMouseMove(POINT pt);
    void OnLButtonDown(POINT pt);
    void OnLButtonUp(POINT pt);
    void PaintGrip(HDC hDC);
    void SyncScroll() { m_scroll.Sync(m_list, VisibleRows()); }

    CAdvComboBox& m_combo;
    CDropListBox m_list;
    CDropScrollBar m_scroll;
    DWORD m_dwComboStyle;
    SIZE m_sizeInitial{};
    bool m_bSizing = false;
    POINT m_ptSizeStart{};
    SIZE m_sizeStart{};
};
