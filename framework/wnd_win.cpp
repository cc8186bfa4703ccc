#include "framework/wnd.h"

#include "framework/app.h"
#include "framework/errors.h"

#include <commctrl.h>

#include <vector>

namespace {

constexpr UINT_PTR kSubclassId = 0x54425744; // any fixed number: one subclass of ours per window
constexpr wchar_t kDefaultClass[] = L"TorvaneBrenlow.Window";

// A parent's notification offered to the child's object (see CWnd::Reflect).
struct ReflectRecord {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
    bool handled;
};

UINT ReflectMessage() {
    static const UINT msg = RegisterWindowMessageW(L"TorvaneBrenlow.Reflect");
    return msg;
}

// The child a parent's notification is about, or null.
HWND NotificationSource(HWND hParent, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam); // null for menus and accelerators
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        return dis && dis->CtlType != ODT_MENU ? dis->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!mis || mis->CtlType == ODT_MENU || wParam == 0)
            return nullptr;
        return ::GetDlgItem(hParent, static_cast<int>(mis->CtlID));
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    default:
        return nullptr;
    }
}

} // namespace

// ---------------------------------------------------------------- binding

CWnd::~CWnd() {
    if (!m_hWnd)
        return;
    if (m_binding == Binding::own || m_bOwnsWindow)
        ::DestroyWindow(m_hWnd);
    // Whatever happened, no window may call back into a destroyed object.
    Unbind();
}

const wchar_t* CWnd::RegisterWndClass(const wchar_t* name, UINT style, HICON hIcon,
                                      HCURSOR hCursor, HBRUSH hBackground) {
    if (!name)
        name = kDefaultClass;
    HINSTANCE hInst = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(hInst, name, &existing))
        return name;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &CWnd::StaticWndProc;
    wc.hInstance = hInst;
    wc.hIcon = hIcon;
    wc.hCursor = hCursor ? hCursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = hBackground;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) ? name : nullptr;
}

bool CWnd::CreateEx(DWORD dwExStyle, const wchar_t* pszTitle, DWORD dwStyle, int x, int y, int cx,
                    int cy, HWND hParent, UINT_PTR idOrMenu, const wchar_t* pszClass) {
    if (m_hWnd)
        return false;
    if (!pszClass)
        pszClass = RegisterWndClass(nullptr, 0, nullptr, nullptr,
                                    reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    HWND hWnd = CreateWindowExW(dwExStyle, pszClass, pszTitle ? pszTitle : L"", dwStyle, x, y,
                                cx, cy, hParent, reinterpret_cast<HMENU>(idOrMenu),
                                GetModuleHandleW(nullptr), this);
    // A window whose WM_CREATE failed is already destroyed and unbound.
    return hWnd != nullptr && m_hWnd == hWnd;
}

bool CWnd::CreateControl(const wchar_t* pszClass, const wchar_t* pszText, DWORD dwStyle,
                         const RECT& rc, CWnd* pParent, UINT nID, DWORD dwExStyle) {
    if (m_hWnd)
        return false;
    HWND hWnd = CreateWindowExW(dwExStyle, pszClass, pszText ? pszText : L"", dwStyle, rc.left,
                                rc.top, rc.right - rc.left, rc.bottom - rc.top,
                                pParent ? pParent->m_hWnd : nullptr,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!hWnd)
        return false;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return false;
    }
    m_bOwnsWindow = true;
    return true;
}

bool CWnd::SubclassWindow(HWND hWnd) {
    if (m_hWnd || !hWnd)
        return false;
    const auto own = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    m_pfnOwnProc =
        own == reinterpret_cast<WNDPROC>(GetClassLongPtrW(hWnd, GCLP_WNDPROC)) ? own : nullptr;
    if (!SetWindowSubclass(hWnd, &CWnd::StaticSubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = hWnd;
    m_binding = Binding::subclassed;
    m_bOwnsWindow = false;
    PreSubclassWindow();
    return true;
}

bool CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    return pParent && SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    if (m_binding != Binding::subclassed || !hWnd)
        return nullptr;
    RemoveWindowSubclass(hWnd, &CWnd::StaticSubclassProc, kSubclassId);
    m_hWnd = nullptr;
    m_binding = Binding::none;
    m_bHookSuspended = false;
    return hWnd;
}

bool CWnd::SuspendSubclass() {
    if (m_binding != Binding::subclassed || !m_hWnd || m_bHookSuspended)
        return false;
    if (!RemoveWindowSubclass(m_hWnd, &CWnd::StaticSubclassProc, kSubclassId))
        return false;
    m_bHookSuspended = true;
    return true;
}

void CWnd::ResumeSubclass() {
    if (!m_bHookSuspended)
        return;
    m_bHookSuspended = false;
    if (m_hWnd && !SetWindowSubclass(m_hWnd, &CWnd::StaticSubclassProc, kSubclassId,
                                     reinterpret_cast<DWORD_PTR>(this))) {
        // Without its hook the object would never hear of the window's end.
        m_hWnd = nullptr;
        m_binding = Binding::none;
    }
}

LRESULT CWnd::SendPastHook(UINT msg, WPARAM wParam, LPARAM lParam) const {
    if (m_binding == Binding::subclassed && m_hWnd && m_pfnOwnProc)
        return CallWindowProcW(m_pfnOwnProc, m_hWnd, msg, wParam, lParam);
    return m_hWnd ? ::SendMessageW(m_hWnd, msg, wParam, lParam) : 0;
}

bool CWnd::DestroyWindow() { return m_hWnd && ::DestroyWindow(m_hWnd); }

void CWnd::Unbind() {
    if (!m_hWnd)
        return;
    if (m_binding == Binding::own)
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    else if (m_binding == Binding::subclassed)
        RemoveWindowSubclass(m_hWnd, &CWnd::StaticSubclassProc, kSubclassId);
    m_hWnd = nullptr;
    m_binding = Binding::none;
    m_bHookSuspended = false;
}

// ---------------------------------------------------------------- procedures

LRESULT CALLBACK CWnd::StaticWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* pcs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = pcs ? static_cast<CWnd*>(pcs->lpCreateParams) : nullptr;
        if (self) {
            SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->m_hWnd = hWnd;
            self->m_binding = Binding::own;
        }
    }
    auto* self = reinterpret_cast<CWnd*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hWnd, msg, wParam, lParam);
    LRESULT result = self->Dispatch(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        self->m_binding = Binding::none;
        self->PostNcDestroy();
    }
    return result;
}

LRESULT CALLBACK CWnd::StaticSubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR refData) {
    auto* self = reinterpret_cast<CWnd*>(refData);
    if (!self || self->m_hWnd != hWnd)
        return DefSubclassProc(hWnd, msg, wParam, lParam);
    LRESULT result = self->Dispatch(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hWnd, &CWnd::StaticSubclassProc, kSubclassId);
        self->m_hWnd = nullptr;
        self->m_binding = Binding::none;
        self->PostNcDestroy();
    }
    return result;
}

// Dialog windows: bind on WM_INITDIALOG, then route everything through the
// subclass, so dialogs and other windows share one dispatch. The dialog
// procedure itself answers nothing else and leaves the rest to the dialog
// manager.
INT_PTR CALLBACK CWnd::StaticDialogProc(HWND hWnd, UINT msg, WPARAM, LPARAM lParam) {
    if (msg != WM_INITDIALOG)
        return FALSE;
    auto* self = reinterpret_cast<CWnd*>(lParam);
    if (!self || !self->SubclassWindow(hWnd))
        return TRUE;
    self->OnDialogBound();
    MessageRecord record{msg, 0, lParam};
    const MessageRecord* saved = self->m_pCurrent;
    self->m_pCurrent = &record;
    bool focusDefault = self->OnInitDialog();
    self->m_pCurrent = saved;
    return focusDefault ? TRUE : FALSE;
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    MessageRecord record{msg, wParam, lParam};
    const MessageRecord* saved = m_pCurrent;
    m_pCurrent = &record;
    LRESULT result = WindowProc(msg, wParam, lParam);
    m_pCurrent = saved;
    return result;
}

LRESULT CWnd::Default() {
    if (!m_pCurrent || !m_hWnd)
        return 0;
    const MessageRecord& m = *m_pCurrent;
    if (m_binding == Binding::subclassed)
        return DefSubclassProc(m_hWnd, m.msg, m.wParam, m.lParam);
    return DefWindowProcW(m_hWnd, m.msg, m.wParam, m.lParam);
}

bool CWnd::Reflect(HWND hChild, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!hChild || !IsWindow(hChild))
        return false;
    ReflectRecord record{msg, wParam, lParam, 0, false};
    ::SendMessageW(hChild, ReflectMessage(), 0, reinterpret_cast<LPARAM>(&record));
    if (record.handled)
        result = record.result;
    return record.handled;
}

bool CWnd::OnReflect(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == ReflectMessage()) {
        // Only a parent of ours sends this, with a record on its stack.
        auto* record = reinterpret_cast<ReflectRecord*>(lParam);
        if (record)
            record->handled = OnReflect(record->msg, record->wParam, record->lParam,
                                        record->result);
        return 0;
    }
    if (HWND child = NotificationSource(m_hWnd, msg, wParam, lParam); child && child != m_hWnd) {
        LRESULT result = 0;
        if (Reflect(child, msg, wParam, lParam, result))
            return result;
    }
    switch (msg) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_CONTEXTMENU:
        OnContextMenu(reinterpret_cast<HWND>(wParam),
                      POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        return Default();
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(wParam, lParam, result))
            return result;
        return Default();
    }
    default:
        return Default();
    }
}

int CWnd::OnCreate(CREATESTRUCTW*) { return static_cast<int>(Default()); }

bool CWnd::OnInitDialog() { return true; }

bool CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT code = HIWORD(wParam);
    // Menus (0), accelerators (1), and button clicks from controls.
    if (lParam == 0 || code == BN_CLICKED)
        return RunCommand(LOWORD(wParam));
    return false;
}

bool CWnd::OnNotify(WPARAM, LPARAM, LRESULT&) { return false; }

bool CWnd::PreTranslateMessage(MSG&) { return false; }

bool RunRoutedCommand(CCmdTarget& route, unsigned id) {
    try {
        return route.ExecuteCommand(id);
    } catch (const CException& e) {
        ReportCommandError(&e);
    } catch (const std::exception&) {
        // Not one of ours (for instance out of memory): still reported, with
        // the generic text, rather than unwinding through the window procedure.
        ReportCommandError(nullptr);
    }
    return true;
}

// ---------------------------------------------------------------- data exchange

void CWnd::DoDataExchange(CDataExchange*) {}

bool CWnd::UpdateData(bool bSaveAndValidate) {
    if (!m_hWnd)
        return false;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return true;
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value) {
    HWND hCtl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (!hCtl)
        return;
    if (pDX->m_bSaveAndValidate) {
        int length = ::GetWindowTextLengthW(hCtl);
        std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        int got = ::GetWindowTextW(hCtl, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        value = std::move(text);
    } else {
        ::SetWindowTextW(hCtl, value.c_str());
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control) {
    if (!control.m_hWnd)
        control.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd);
}

// ---------------------------------------------------------------- helpers

std::wstring CWnd::GetWindowText() const {
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    int got = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

RECT CWnd::GetClientRect() const {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

void CWnd::MoveWindow(const RECT& rc, bool bRepaint) {
    ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, bRepaint);
}
