#pragma once
// The list control's in-place editors: CXCombo, a drop-down choice list over a
// cell, and CXEdit, a one-line text field over a cell. Both only report to the
// list control; the list ends them and writes the result (see CXListCtrl).
#include "controls/adv_combo.h"
#include "framework/wnd.h"

#include <string>

// The list control's editing timers, 50 ms each, killed when they fire.
inline constexpr UINT_PTR kComboUnlockTimer = 1; // window updates locked at opening
inline constexpr UINT_PTR kComboCancelTimer = 2; // close the drop-down editor
inline constexpr UINT_PTR kComboApplyTimer = 3;  // apply its choice and close
inline constexpr UINT kEditorDelay = 50;

class CXCombo : public CAdvComboBox {
public:
    explicit CXCombo(CWnd* pListCtrl) : CAdvComboBox(pListCtrl), m_pListCtrl(pListCtrl) {}
    CWnd* m_pListCtrl;

protected:
    void OnComboCancel() override;
    void OnComboComplete() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class CXEdit : public CWnd {
public:
    CXEdit(CWnd* pListCtrl, std::wstring strInitial)
        : m_pListCtrl(pListCtrl), m_strInitial(std::move(strInitial)) {}
    CWnd* m_pListCtrl;
    std::wstring m_strInitial;
    int m_bEndSent = 0;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Each end message goes out once, whatever asks for it later.
    void SendEnd(UINT msg);
};
