#pragma once
// The application object: the one CWinApp of the process. It runs the message
// loop, refreshes command states when idle, owns the document template, carries
// the application-level file commands, and hosts the message-filter hook through
// which keys typed inside the system's modal loops (message boxes, common
// dialogs, the system menu) reach ProcessMessageFilter.
//
// It is also the one place that turns errors into message boxes: captions carry
// the application title; a failing command shows the stop icon, a failing load
// or save the exclamation icon.
#include "framework/command.h"
#include "framework/command_line.h"
#include "framework/document.h"
#include "framework/wnd.h"

#include <windows.h>

#include <memory>
#include <string>

class CFrameWnd;

class CWinApp : public CCmdTarget {
public:
    // `appTitle`: the application's name (captions, settings branch). The
    // constructor installs the thread's message-filter hook; the destructor
    // removes it. One application object at a time.
    explicit CWinApp(std::wstring appTitle = {});
    ~CWinApp() override;

    // ---- Start, loop, end ----
    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return m_nExitCode; }
    // The message loop until WM_QUIT; returns ExitInstance().
    virtual int Run();
    // Idle work after the queue emptied; `lCount` counts calls since the last
    // message. Base: the main frame's surfaces get fresh command states on the
    // first call. Return true to be called again before the next message.
    virtual bool OnIdle(long lCount);
    // Before dispatch: the frame under the message (its accelerators) decides.
    virtual bool PreTranslateMessage(MSG& msg);
    // Every message of a system modal loop (code MSGF_DIALOGBOX, MSGF_MENU, ...),
    // except those of our own modal dialogs. True when the message was handled;
    // the system then drops it. Base: false.
    virtual bool ProcessMessageFilter(int code, MSG& msg);
    // WinMain in one call: InitInstance, then Run or ExitInstance.
    int RunApplication();
    // Dispatches every message waiting now (each offered to PreTranslateMessage),
    // then the idle work once. Returns false once WM_QUIT was taken. For loops
    // that wait on something else (tests, start-up checks).
    bool PumpWaitingMessages();

    // ---- Settings ----
    // Settings live under HKEY_CURRENT_USER\Software\<key>\<application title>.
    void SetRegistryKey(const std::wstring& key) { m_strRegistryKey = key; }
    const std::wstring& GetRegistryKey() const { return m_strRegistryKey; }
    std::wstring GetProfileBranch() const; // "Software\<key>\<title>"
    const std::wstring& GetAppTitle() const { return m_strAppTitle; }
    void SetAppTitle(std::wstring title) { m_strAppTitle = std::move(title); }

    // ---- Documents ----
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> pTemplate);
    CSingleDocTemplate* GetDocTemplate() const { return m_template.get(); }
    // Opens `path` as the document (as Open does after its dialog).
    virtual CDocument* OpenDocumentFile(const std::wstring& path);
    // Arguments of this process (GetCommandLineW), program name left out.
    void ParseCommandLine(CCommandLineInfo& info);
    // New or open as the command line says; false when that failed.
    virtual bool ProcessShellCommand(CCommandLineInfo& info);

    // ---- Command handlers (mapped by the program) ----
    void OnFileNew();
    void OnFileOpen();
    void OnAppExit(); // asks the main window to close

    // ---- Messages ----
    // MessageBoxW over the main window (or its active pop-up), caption = title.
    int DoMessageBox(const std::wstring& text, UINT nType) const;

    CFrameWnd* m_pMainWnd = nullptr; // set by the template when it creates the frame
    int m_nExitCode = 0;

protected:
    std::wstring m_strAppTitle;
    std::wstring m_strRegistryKey;
    std::unique_ptr<CSingleDocTemplate> m_template;

private:
    static LRESULT CALLBACK MessageFilterHook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hFilterHook = nullptr;
};

// The application object of this process (null before its construction).
CWinApp* AfxGetApp();

// The one place errors become message boxes.
// A command that ended with an error: stop icon, the error's text or "Command failed.".
void ReportCommandError(const CException* pError);
// A load or save that failed: exclamation icon, the error's text or `fallback`.
void ReportLoadSaveError(const CException* pError, const wchar_t* fallback);
// Any message with the application title as caption.
int AppMessageBox(const std::wstring& text, UINT nType);
