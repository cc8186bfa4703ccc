#pragma once
// Window objects: one C++ object bound to one window, with the window's messages
// unpacked into virtual handlers. Three ways to bind, one dispatch:
//   - windows of the layer's own classes (CreateEx): the object travels in
//     lpCreateParams and is stored in GWLP_USERDATA on WM_NCCREATE;
//   - existing windows, e.g. controls of a dialog template (SubclassWindow,
//     SubclassDlgItem): SetWindowSubclass with the object as its dwRefData;
//   - dialog windows from templates (CDialog, CFormView): bound on WM_INITDIALOG
//     and then subclassed like any other existing window.
// Every path ends in WindowProc; what a handler leaves alone goes to Default(),
// which is DefWindowProc for own windows and the previous procedure otherwise.
//
// Notifications a parent receives about a child (WM_NOTIFY, WM_COMMAND from a
// control, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*) are first offered back to the
// child's own object through OnReflect, so a control's drawing and behaviour
// live in the control. Children that are not window objects never see them.
#include "framework/command.h"

#include <windows.h>

#include <string>

class CWnd;

// Moves texts between a window's child controls and the object's members.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, bool bSaveAndValidate)
        : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: controls -> members; false: members -> controls
};
// Text of control `nIDC` <-> `value`.
void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value);
// Binds `control` to child `nIDC` (subclassing it) the first time it runs.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);

// Runs command `id` along `route` when it is enabled; an error the command
// raises is reported here, the one place for it: a message box with the stop
// icon and the error's own text, or "Command failed." when it has none.
// Returns true when the command ran (or failed and was reported).
bool RunRoutedCommand(CCmdTarget& route, unsigned id);

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    // Destroys a window the object created; releases (unsubclasses) one it only
    // subclassed. A derived class whose handlers must see the destruction should
    // call DestroyWindow in its own destructor.
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // ---- Creation and binding ----
    // Registers (once) a window class served by the layer's window procedure and
    // returns its name. `name` null: the layer's default class.
    static const wchar_t* RegisterWndClass(const wchar_t* name = nullptr, UINT style = 0,
                                           HICON hIcon = nullptr, HCURSOR hCursor = nullptr,
                                           HBRUSH hBackground = nullptr);
    // Creates a window of such a class (default class when pszClass is null).
    // `idOrMenu` is the child id for WS_CHILD windows, else an HMENU.
    bool CreateEx(DWORD dwExStyle, const wchar_t* pszTitle, DWORD dwStyle, int x, int y, int cx,
                  int cy, HWND hParent, UINT_PTR idOrMenu, const wchar_t* pszClass = nullptr);
    // Creates a window of a foreign class (a common control) and subclasses it.
    bool CreateControl(const wchar_t* pszClass, const wchar_t* pszText, DWORD dwStyle,
                       const RECT& rc, CWnd* pParent, UINT nID, DWORD dwExStyle = 0);
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();
    // Lifts the hook of a subclassed window for a while, the object staying
    // bound: messages meanwhile go straight to the window's own procedure and
    // this object sees none of them. Under Wine every message through the
    // hook costs a round trip to the window server (the hook's data is a
    // window property), so an owner that causes a burst of messages the
    // object need not see can spare it. Whoever lifts it puts it back before
    // the window may be destroyed. True when the hook was lifted.
    bool SuspendSubclass();
    void ResumeSubclass();
    bool IsSubclassSuspended() const { return m_bHookSuspended; }
    // Sends a message of the owner's own (a write it keeps in step itself, a
    // query) straight to the window's own procedure, past the hook, which
    // costs a round trip to the window server under Wine for every message.
    // Goes the usual way when the window had another procedure put in front
    // of its class's before it was subclassed here.
    LRESULT SendPastHook(UINT msg, WPARAM wParam, LPARAM lParam) const;
    bool DestroyWindow();

    // ---- Message handling ----
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled right now.
    LRESULT Default();
    // Given every queued message of the thread before it is dispatched (message
    // loop); true when the object consumed it.
    virtual bool PreTranslateMessage(MSG& msg);
    // A notification about this window, reflected from its parent: `msg` is the
    // parent's message (WM_NOTIFY, WM_COMMAND, WM_DRAWITEM, WM_MEASUREITEM or a
    // WM_CTLCOLOR*). Return true and set `result` to answer it.
    virtual bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Offers a parent's notification to the child's window object; false when the
    // child is not one or does not answer.
    static bool Reflect(HWND hChild, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // RunRoutedCommand along this object's routing chain (OnCmdMsg).
    bool RunCommand(unsigned id) { return RunRoutedCommand(*this, id); }

    // ---- Data exchange (dialogs, form views) ----
    virtual void DoDataExchange(CDataExchange* pDX);
    bool UpdateData(bool bSaveAndValidate = true);

    // ---- Thin helpers ----
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
    bool ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow) != FALSE; }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(bool bErase = true) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    RECT GetClientRect() const;
    void MoveWindow(const RECT& rc, bool bRepaint = true);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam) != FALSE;
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    void KillTimer(UINT_PTR id) { ::KillTimer(m_hWnd, id); }

protected:
    // The command-table builders of CCmdTarget stay visible next to the
    // WM_COMMAND handler of the same name.
    using CCmdTarget::OnCommand;

    // Handlers the base WindowProc calls. Those whose default matters call Default().
    virtual int OnCreate(CREATESTRUCTW* pcs);   // 0 to go on, -1 to abort creation
    virtual bool OnInitDialog();                // dialog windows: after binding
    virtual void OnDestroy() {}                 // window still valid
    virtual void OnClose() { Default(); }       // default: DestroyWindow
    virtual void OnSize(UINT /*nType*/, int /*cx*/, int /*cy*/) { Default(); }
    virtual void OnTimer(UINT_PTR /*nIDEvent*/) { Default(); }
    virtual void OnSetFocus(HWND /*hOldFocus*/) { Default(); }
    virtual void OnContextMenu(HWND /*hWnd*/, POINT /*ptScreen*/) { Default(); }
    // WM_COMMAND that no child took by reflection. Base: menu items, accelerators
    // and button clicks run the command through RunCommand.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY that the sending child did not take by reflection.
    virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Called once an existing window has been bound to the object by
    // subclassing (dialog items, CreateControl), before its next message.
    virtual void PreSubclassWindow() {}
    // Called after the window is gone (WM_NCDESTROY); m_hWnd is already null.
    virtual void PostNcDestroy() {}
    // The object destroys its window when it goes, even a subclassed one (set for
    // windows the object created through another API, e.g. dialogs).
    void SetOwnsWindow(bool bOwns) { m_bOwnsWindow = bOwns; }

private:
    struct MessageRecord {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    enum class Binding { none, own, subclassed };

    static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK StaticSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    // A dialog window was just bound (before OnInitDialog).
    virtual void OnDialogBound() {}
    void Unbind();

    Binding m_binding = Binding::none;
    bool m_bHookSuspended = false;
    WNDPROC m_pfnOwnProc = nullptr; // a subclassed window's own procedure
    const MessageRecord* m_pCurrent = nullptr;
    bool m_bOwnsWindow = false;

    // Dialog windows use the dialog procedure for binding.
    friend class CDialog;
    friend class CFormView;
    static DLGPROC DialogProc() { return &CWnd::StaticDialogProc; }
};
