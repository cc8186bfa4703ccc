#include "framework/app.h"

#include "framework/dialog.h"
#include "framework/frame.h"

#include <shellapi.h>

namespace {
CWinApp* g_pApp = nullptr;
} // namespace

CWinApp* AfxGetApp() { return g_pApp; }

CWinApp::CWinApp(std::wstring appTitle) : m_strAppTitle(std::move(appTitle)) {
    g_pApp = this;
    m_hFilterHook = SetWindowsHookExW(WH_MSGFILTER, &CWinApp::MessageFilterHook, nullptr,
                                      GetCurrentThreadId());
}

CWinApp::~CWinApp() {
    // The frame's end must not post a quit message for a loop that is over.
    m_pMainWnd = nullptr;
    m_template.reset();
    if (m_hFilterHook)
        UnhookWindowsHookEx(m_hFilterHook);
    if (g_pApp == this)
        g_pApp = nullptr;
}

// ---------------------------------------------------------------- loop

namespace {
// Messages that change nothing a command state depends on do not restart idle work.
bool IsIdleMessage(const MSG& msg) {
    static POINT lastPos{-1, -1};
    if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
        if (msg.pt.x == lastPos.x && msg.pt.y == lastPos.y)
            return false;
        lastPos = msg.pt;
        return true;
    }
    return msg.message != WM_PAINT && msg.message != 0x0118; // caret blink
}
} // namespace

int CWinApp::Run() {
    MSG msg{};
    long idleCount = 0;
    bool idle = true;
    for (;;) {
        while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            if (!OnIdle(idleCount++))
                idle = false;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1)
            break;
        if (!PreTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (IsIdleMessage(msg)) {
            idle = true;
            idleCount = 0;
        }
    }
    return ExitInstance();
}

bool CWinApp::PumpWaitingMessages() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            m_nExitCode = static_cast<int>(msg.wParam);
            return false;
        }
        if (!PreTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    OnIdle(0);
    return true;
}

bool CWinApp::OnIdle(long lCount) {
    if (lCount == 0 && m_pMainWnd && m_pMainWnd->m_hWnd)
        m_pMainWnd->OnIdleUpdateCmdUI();
    return false;
}

bool CWinApp::PreTranslateMessage(MSG& msg) {
    if (!m_pMainWnd || !m_pMainWnd->m_hWnd || !msg.hwnd)
        return false;
    if (GetAncestor(msg.hwnd, GA_ROOT) != m_pMainWnd->m_hWnd)
        return false;
    return m_pMainWnd->PreTranslateMessage(msg);
}

bool CWinApp::ProcessMessageFilter(int, MSG&) { return false; }

LRESULT CALLBACK CWinApp::MessageFilterHook(int code, WPARAM wParam, LPARAM lParam) {
    CWinApp* app = g_pApp;
    if (code >= 0 && app && lParam) {
        MSG& msg = *reinterpret_cast<MSG*>(lParam);
        // Our own modal dialogs keep their keys (see dialog.h).
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        bool ownModal = root && GetPropW(root, kOwnModalProperty);
        if (!ownModal && app->ProcessMessageFilter(code, msg))
            return 1;
    }
    return CallNextHookEx(app ? app->m_hFilterHook : nullptr, code, wParam, lParam);
}

int CWinApp::RunApplication() {
    if (!InitInstance()) {
        ExitInstance();
        return m_nExitCode ? m_nExitCode : 1;
    }
    return Run();
}

// ---------------------------------------------------------------- settings

std::wstring CWinApp::GetProfileBranch() const {
    return L"Software\\" + m_strRegistryKey + L"\\" + m_strAppTitle;
}

// ---------------------------------------------------------------- documents

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> pTemplate) {
    m_template = std::move(pTemplate);
}

CDocument* CWinApp::OpenDocumentFile(const std::wstring& path) {
    return m_template ? m_template->OpenDocumentFile(path) : nullptr;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i)
        args.emplace_back(argv[i]);
    if (argv)
        LocalFree(argv);
    ParseCommandLineArgs(info, args);
}

bool CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        return m_template && m_template->OpenDocumentFile(std::wstring()) != nullptr;
    case CCommandLineInfo::FileOpen:
    case CCommandLineInfo::FilePrint:   // nothing to print on: the file opens
    case CCommandLineInfo::FilePrintTo:
        return OpenDocumentFile(info.m_strFileName) != nullptr;
    case CCommandLineInfo::FileNothing:
        return true;
    }
    return false;
}

void CWinApp::OnFileNew() {
    if (m_template)
        m_template->OpenDocumentFile(std::wstring());
}

void CWinApp::OnFileOpen() {
    if (!m_template)
        return;
    std::wstring name;
    if (m_template->DoPromptFileName(name, true))
        OpenDocumentFile(name);
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd && m_pMainWnd->m_hWnd)
        m_pMainWnd->PostMessage(WM_CLOSE);
}

// ---------------------------------------------------------------- messages

int CWinApp::DoMessageBox(const std::wstring& text, UINT nType) const {
    HWND owner = nullptr;
    if (m_pMainWnd && m_pMainWnd->m_hWnd)
        owner = GetLastActivePopup(m_pMainWnd->m_hWnd);
    return MessageBoxW(owner, text.c_str(), m_strAppTitle.c_str(), nType);
}

int AppMessageBox(const std::wstring& text, UINT nType) {
    if (CWinApp* app = AfxGetApp())
        return app->DoMessageBox(text, nType);
    return MessageBoxW(nullptr, text.c_str(), L"", nType);
}

void ReportCommandError(const CException* pError) {
    const std::wstring& own = pError ? pError->GetErrorMessage() : std::wstring();
    AppMessageBox(own.empty() ? std::wstring(kCommandFailed) : own, MB_OK | MB_ICONSTOP);
}

void ReportLoadSaveError(const CException* pError, const wchar_t* fallback) {
    const std::wstring& own = pError ? pError->GetErrorMessage() : std::wstring();
    AppMessageBox(own.empty() ? std::wstring(fallback ? fallback : kCommandFailed) : own,
                  MB_OK | MB_ICONEXCLAMATION);
}
