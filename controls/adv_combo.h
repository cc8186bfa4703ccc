#pragma once
// A combo box drawn and run entirely by the application (window class
// "SuperComboBox"). It keeps its own items, some of which may be disabled,
// draws its face and drop button (with visual styles when they are on), opens
// its own drop-down (CDropWnd: list, scroll bar and size grip) and, with the
// drop-down style, hosts an edit field. It answers the usual combo-box
// messages and sends the usual combo-box notifications, so it can stand in for
// a system combo box. Option flags add typed-text completion and a filtered
// drop-down.
#include "controls/combo_rules.h"
#include "controls/gdi.h"
#include "framework/wnd.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CAdvComboBox;
class CDropWnd;

// Messages of the combo family beside the standard ones.
inline constexpr UINT WM_SELECTED_ITEM = WM_USER + 1;        // pick item wParam of the drop-down
inline constexpr UINT WM_DESTROY_DROPLIST = WM_USER + 2;     // close the drop-down
inline constexpr UINT WM_VRC_SETCAPTURE = WM_USER + 3;       // drop-down: take the mouse
inline constexpr UINT WM_VRC_RELEASECAPTURE = WM_USER + 4;   // drop-down: let it go
inline constexpr UINT WM_ON_DROPDOWN_BUTTON = WM_USER + 101; // toggle the drop-down

// Option flags (m_dwComboStyle).
inline constexpr DWORD ACS_INSET_EDIT = 0x2;   // edit child inset inside the frame
inline constexpr DWORD ACS_WIDE_ENTRIES = 0x4; // list entries 14 pixels wider
inline constexpr DWORD ACS_AUTOCOMPLETE = 0x8; // typed text completed from the items
inline constexpr DWORD ACS_FILTER_LIST = 0x10; // typing drops down the matching items

// The edit field of a drop-down-style combo: its keys, wheel and focus go
// through the combo first.
class CAdvComboEdit : public CWnd {
public:
    explicit CAdvComboEdit(CAdvComboBox& combo) : m_combo(combo) {}

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    CAdvComboBox& m_combo;
    bool m_bForegroundDone = false;
};

class CAdvComboBox : public CWnd {
public:
    // `pParentWnd`: the window told about changes; null means the parent.
    // Registers the window class once; a failure raises CResourceException.
    explicit CAdvComboBox(CWnd* pParentWnd = nullptr);
    ~CAdvComboBox() override;

    // Creates the combo as a child (or, with WS_POPUP, a pop-up at screen
    // coordinates) and fills it from the string resource numbered `nID`, one
    // item per line.
    virtual bool Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID,
                        DWORD dwExStyle = 0);

    // ---- Items beyond the standard messages ----
    int AddItem(const std::wstring& text, bool bDisabled = false);
    int SetItemDisabled(int nIndex, bool bDisabled); // 0 when out of range
    bool IsItemDisabled(int nIndex) const;
    const std::vector<AdvComboItem>& GetItems() const { return m_items; }

    // ---- Options ----
    DWORD GetComboStyle() const { return m_dwComboStyle; }
    void SetComboStyle(DWORD dwStyle) { m_dwComboStyle = dwStyle; }
    int GetVisibleRows() const { return m_nVisibleRows; }
    void SetVisibleRows(int nRows) { m_nVisibleRows = nRows; }
    int GetMinRowsBelow() const { return m_nMinRowsBelow; }
    void SetMinRowsBelow(int nRows) { m_nMinRowsBelow = nRows; }
    HFONT GetComboFont() const { return m_font.Get(); }

    // ---- State ----
    bool IsDropped() const { return m_bDropped != 0; }
    CDropWnd* GetDropWnd() const { return m_pDropWnd.get(); }
    HWND GetEditWnd() const { return m_pEdit ? m_pEdit->m_hWnd : nullptr; }
    const std::wstring& GetText() const { return m_strText; }
    RECT GetButtonRect() const { return m_rcButton; }
    bool IsButtonHot() const { return m_bHotButton; }

    // Handles a key for the combo or its edit field; true when consumed.
    bool OnComboKey(UINT msg, WPARAM vk, LPARAM lParam);
    // Wheel movement `delta` (120 units a step).
    void OnComboWheel(int delta);

protected:
    // Called on Escape and on the Escape character.
    virtual void OnComboCancel() {}
    // Called on the Return character and when a close finds no drop-down open.
    virtual void OnComboComplete() {}

    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(CREATESTRUCTW* pcs) override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR nIDEvent) override;

    void Notify(WORD code);

private:
    friend class CAdvComboEdit;

    void Prepare(); // items, font copy, edit child
    void LoadItemsFromResource(UINT nID);
    void CopyFont(HFONT hFont);
    void Layout();
    void Paint(HDC hDC);
    bool HasEdit() const { return m_pEdit && m_pEdit->m_hWnd; }
    std::wstring CurrentText() const;
    void SetTextFromItem(const std::wstring& text);
    // Selection moves while closed: text, repaint, CBN_SELENDOK and CBN_SELCHANGE.
    void SelectClosed(int nIndex);
    // Moves the open list's selection to `nIndex` when it may be selected.
    void SelectInList(int nIndex);
    void ToggleDropDown();
    void OpenDropDown(std::vector<AdvComboItem> items);
    void CloseDropDown(bool bAfterPick);
    void PickFromList(int nIndex);
    void OnEditUpdate();
    void OnEditSetFocus();
    void OnEditKillFocus(HWND hNewFocus);
    bool IsOwnWindow(HWND hWnd) const;
    void UpdateHot(POINT ptClient);
    LRESULT OnComboMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);

public:
    // ---- Members ----
    CWnd* m_pParentWnd = nullptr;
    int m_nCurSel = -1;
    std::unique_ptr<CAdvComboEdit> m_pEdit;
    std::wstring m_strText;
    DWORD m_dwComboStyle = ACS_INSET_EDIT;
    RECT m_rcButton{};
    std::unique_ptr<CDropWnd> m_pDropWnd;
    int m_bDropped = 0;
    std::vector<AdvComboItem> m_items;
    int m_nMinRowsBelow = 5;
    int m_nVisibleRows = -1;

private:
    CFont m_font;
    DWORD m_dwStyle = 0;
    RECT m_rcCreate{};
    bool m_bHasFocus = false;
    bool m_bFocusSent = false;
    bool m_bSelFromList = false;
    bool m_bAutoComplete = true;
    bool m_bHotButton = false;
    bool m_bInEditUpdate = false;
    bool m_bPrepared = false;
    int m_nWheelDelta = 0;
};
