#pragma once
// The main frame window: the top-level window that holds the active view and
// the status bar, owns the menu bar and accelerators of its resource, and is the
// hub of command routing:
//   command -> active view -> its document -> the frame -> the application.
// It computes the states of a menu's items in one pass when the menu opens
// (WM_INITMENUPOPUP), shows the highlighted item's prompt in the status bar
// (WM_MENUSELECT), opens files dropped on it, and keeps its placement in the
// registry when a place is set.
#include "framework/accel.h"
#include "framework/statusbar.h"
#include "framework/wnd.h"

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

class CDocument;
class CView;

// Anything that shows commands (a tool bar, a ribbon, ...): asked for fresh states
// whenever the application is idle.
class CCommandSurface {
public:
    virtual ~CCommandSurface() = default;
    virtual void UpdateCommandStates(CCmdTarget& route) = 0;
};

class CFrameWnd : public CWnd {
public:
    CFrameWnd() = default;
    ~CFrameWnd() override;

    // Creates the (hidden) top-level window with the menu, accelerator table and
    // icon of resource `nIDResource` (each when present); the caption is
    // `title`.
    virtual bool LoadFrame(UINT nIDResource, const std::wstring& title,
                           DWORD dwStyle = WS_OVERLAPPEDWINDOW, CWnd* pParentWnd = nullptr);

    // The view fills the client area above the status bar. The frame owns it.
    void SetView(std::unique_ptr<CView> view);
    CView* GetActiveView() const { return m_view.get(); }
    CDocument* GetActiveDocument() const;

    // Shows the frame (restoring a stored placement the first time, when a place
    // is set) and brings it forward.
    virtual void ActivateFrame(int nCmdShow = SW_SHOW);
    // Caption "<document title> - <application title>".
    virtual void OnUpdateFrameTitle();
    // Lays out the status bar and the view.
    virtual void RecalcLayout();

    // Command routing: the view (and through it the document), the frame's own
    // table, the application.
    bool OnCmdMsg(unsigned id, CCmdUI* pCmdUI) override;
    // Sets the enabled state of every command item of `hMenu` (one pass).
    void UpdateMenuStates(HMENU hMenu);
    // Shows `hPopup` at `ptScreen`; its item states come from `route` (the view,
    // for a view's context menu) and the chosen command runs along `route`.
    // Prompts show in this frame's status bar while the menu is open.
    void TrackPopupMenu(HMENU hPopup, POINT ptScreen, CCmdTarget& route);
    // Idle time: fresh states for every registered surface.
    void OnIdleUpdateCmdUI();
    void AddCommandSurface(CCommandSurface* pSurface);
    void RemoveCommandSurface(CCommandSurface* pSurface);

    // Window placement kept under HKEY_CURRENT_USER\<keyPath>, value `valueName`:
    // stored when the window is destroyed, restored by the first ActivateFrame.
    void SetPlacementStore(const std::wstring& keyPath, const std::wstring& valueName);
    bool SavePlacement() const;
    bool RestorePlacement(int nCmdShow);

    // The prompt area of the status bar (the message pane).
    virtual void SetMessageText(const std::wstring& text);
    virtual std::wstring GetMessageText() const;

    const CAccelTable& GetAccelerators() const { return m_accel; }
    bool PreTranslateMessage(MSG& msg) override; // the frame's accelerators

    CStatusBar m_wndStatusBar; // created by the derived frame's OnCreate, if at all

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnSetFocus(HWND hOldFocus) override;
    // The close box / WM_CLOSE: closes the document, which closes the frame.
    void OnClose() override;
    void OnDestroy() override;
    void PostNcDestroy() override;
    // Each dropped file opens as the project, in the order given.
    virtual void OnDropFiles(HDROP hDrop);
    // Prompt for command `nID` (string resource, text before the line feed).
    virtual void ShowCommandPrompt(UINT nID);

    CAccelTable m_accel;

private:
    std::unique_ptr<CView> m_view;
    std::vector<CCommandSurface*> m_surfaces;
    std::wstring m_strPlacementKey, m_strPlacementValue;
    bool m_bPlacementTried = false;
    CCmdTarget* m_pPopupRoute = nullptr; // while a context menu tracks
    std::wstring m_strIdleMessage; // message pane text before a menu opened
    HICON m_hIconBig = nullptr, m_hIconSmall = nullptr;
};
