#include "app/pelgrane_app.h"

#include "framework/frame.h"
#include "framework/strings.h"
#include "res/resource.h"
#include "site/internet_opener.h"
#include "site/watch_page_reader.h"
#include "ui/about_dlg.h"
#include "ui/main_frame.h"
#include "ui/pelgrane_doc.h"
#include "ui/pelgrane_view.h"
#include "ui/print_list.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

CPelgraneApp::CPelgraneApp() : CWinApp(LoadResString(AFX_IDS_APP_TITLE)) {
    OnCommand(ID_APP_ABOUT, &CPelgraneApp::OnAppAbout);
    OnCommand(ID_FILE_NEW, &CWinApp::OnFileNew);
    OnCommand(ID_FILE_OPEN, &CWinApp::OnFileOpen);
    OnCommand(ID_APP_EXIT, &CWinApp::OnAppExit);
}

CPelgraneApp::~CPelgraneApp() = default;

std::wstring CPelgraneApp::DefaultProjectPath() {
    std::wstring program = ProgramPath();
    return program.substr(0, program.find_last_of(L"\\/") + 1) + L"Default.torvane";
}

std::wstring CPelgraneApp::SetAsideUnreadable(const std::wstring& defaultPath) {
    const std::size_t slash = defaultPath.find_last_of(L"\\/");
    std::size_t dot = defaultPath.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        dot = defaultPath.size();
    const std::wstring stem = defaultPath.substr(0, dot);
    const std::wstring extension = defaultPath.substr(dot);
    // Without replacing: an earlier unreadable copy may be the one the user
    // still wants back.
    for (int n = 1; n <= 9999; ++n) {
        const std::wstring kept = stem + L" (unreadable " + std::to_wstring(n) + L")" + extension;
        if (MoveFileExW(defaultPath.c_str(), kept.c_str(), 0))
            return kept;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return {};
    }
    return {};
}

std::wstring CPelgraneApp::SetAsideNotice(const std::wstring& keptPath) {
    return L"The default project could not be read, so it was moved out of the way and "
           L"kept as:\n\n" +
           keptPath + L"\n\nThe next start begins with a new, empty project.";
}

CPelgraneDoc* CPelgraneApp::GetPelgraneDoc() const {
    return m_template ? dynamic_cast<CPelgraneDoc*>(m_template->GetDocument()) : nullptr;
}

bool CPelgraneApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{sizeof icc, 0xFF};
    InitCommonControlsEx(&icc);

    m_ole = std::make_unique<COleInit>();
    if (!m_ole->Succeeded()) {
        AppMessageBox(LoadResString(IDP_OLE_INIT_FAILED), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    SetRegistryKey(L"TorvanePelgrane");
    m_hAccel.Load(IDR_MAINFRAME);

    const std::wstring defaultPath = DefaultProjectPath();
    m_reader = std::make_shared<CWatchPageReader>(std::make_shared<CInternetPageOpener>(),
                                                  ConfiguredSiteRoot());
    auto makeDocument = [this, defaultPath]() -> std::unique_ptr<CDocument> {
        auto doc = std::make_unique<CPelgraneDoc>();
        doc->SetDefaultProjectPath(defaultPath);
        doc->SetSite(
            m_reader,
            [reader = m_reader](const std::wstring& url, std::vector<std::wstring>& links) {
                reader->GetWatchLinks(url, links);
            },
            m_reader->Root());
        return doc;
    };
    AddDocTemplate(std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, LoadResString(IDR_MAINFRAME), makeDocument,
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<CPelgraneView>(); }));

    CSingleDocTemplate* docTemplate = GetDocTemplate();
    CShellFileType type;
    type.progId = docTemplate->GetDocString(CSingleDocTemplate::regFileTypeId);
    type.displayName = docTemplate->GetDocString(CSingleDocTemplate::regFileTypeName);
    type.extension = docTemplate->GetDocString(CSingleDocTemplate::filterExt);
    type.programPath = ProgramPath();
    RegisterShellFileType(type);

    CCommandLineInfo info;
    ParseCommandLine(info);
    if ((info.m_nShellCommand == CCommandLineInfo::FilePrint ||
         info.m_nShellCommand == CCommandLineInfo::FilePrintTo) &&
        !info.m_strFileName.empty()) {
        // Printing is all the shell asked for: the program ends once the list
        // is printed, with no window shown, and says so by its exit code.
        PostQuitMessage(PrintProject(info) ? 0 : 1);
        return true;
    }
    bool openingDefault = false;
    if (info.m_strFileName.empty() && FileExists(defaultPath)) {
        info.m_strFileName = defaultPath;
        info.m_nShellCommand = CCommandLineInfo::FileOpen;
        openingDefault = true;
    }
    if (!ProcessShellCommand(info)) {
        // The load error was shown and nothing was saved (the close-time save is
        // not armed yet), so a file named on the command line never costs the
        // user the default project. An unreadable default project is moved
        // aside, keeping its bytes, so that the next start is a clean one; the
        // user learns where it went.
        if (openingDefault) {
            const std::wstring kept = SetAsideUnreadable(defaultPath);
            if (!kept.empty())
                AppMessageBox(SetAsideNotice(kept), MB_OK | MB_ICONINFORMATION);
        }
        return false;
    }
    if (m_pMainWnd) {
        m_pMainWnd->ShowWindow(SW_SHOWNORMAL);
        m_pMainWnd->UpdateWindow();
        DragAcceptFiles(m_pMainWnd->m_hWnd, TRUE);
    }
    if (CPelgraneDoc* doc = GetPelgraneDoc())
        doc->EnableSaveAtClose();
    return true;
}

bool CPelgraneApp::PrintProject(const CCommandLineInfo& info) {
    const std::wstring& path = info.m_strFileName;
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    CPrinterDC printer;
    // Print (/p) goes to the default printer, print-to (/pt) to the one named.
    if (!printer.Open(info.m_strPrinterName)) {
        AppMessageBox(info.m_strPrinterName.empty()
                          ? L"\"" + name +
                                L"\" cannot be printed: no printer is installed.\n\nInstall a "
                                L"printer or choose a default printer, then print again."
                          : L"\"" + name + L"\" cannot be printed: the printer \"" +
                                info.m_strPrinterName + L"\" is not available.",
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    CPelgraneDoc doc;
    if (!doc.OnOpenDocument(path))
        return false; // the load error was shown
    if (!PrintMovieList(printer.Get(), name, MovieListLines(doc.m_movies))) {
        AppMessageBox(L"\"" + name + L"\" could not be printed on \"" + printer.Name() + L"\".",
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CPelgraneApp::ProcessMessageFilter(int code, MSG& msg) {
    if (m_hAccel.IsLoaded() && m_pMainWnd && m_pMainWnd->m_hWnd &&
        m_hAccel.Translate(m_pMainWnd->m_hWnd, msg))
        return true;
    return CWinApp::ProcessMessageFilter(code, msg);
}

void CPelgraneApp::OnAppAbout() {
    CAboutDlg dlg;
    dlg.DoModal();
}
