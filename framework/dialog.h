#pragma once
// Dialogs from templates in the program's resources. Modal (DoModal) and
// modeless (Create) are kept apart; both unpack the dialog's messages into the
// same virtuals: OnInitDialog, OnOK, OnCancel, OnCommand, OnNotify.
//
// The texts of controls and members meet in DoDataExchange (DDX_Text): the base
// OnInitDialog moves the members into the controls, the base OnOK moves the
// controls back into the members and ends the dialog with IDOK.
//
// A modal dialog of ours runs its own keyboard handling: the application's
// message filter (the accelerators offered inside the system's modal loops) is
// not given its messages, so keys typed into our dialogs stay in them.
#include "framework/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}
    ~CDialog() override;

    // Shows the dialog modally over its parent (the application's main window
    // when none was given); returns the value given to EndDialog, or -1 when the
    // dialog could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; it stays until DestroyWindow.
    bool Create(CWnd* pParentWnd = nullptr);
    // Ends a modal dialog with `nResult`; destroys a modeless one.
    void EndDialog(int nResult);
    bool IsModal() const { return m_bModal; }

    UINT m_nIDTemplate;

protected:
    bool OnInitDialog() override; // UpdateData(false); true: focus to the first tab stop
    virtual void OnOK();          // UpdateData(true), then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CWnd* m_pParentWnd;

private:
    void OnDialogBound() override;
    bool m_bModal = false;
};

// The property that marks the window of a modal dialog of ours (see above).
inline constexpr wchar_t kOwnModalProperty[] = L"TorvaneBrenlow.OwnModal";
