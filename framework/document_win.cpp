#include "framework/document.h"

#include "framework/app.h"
#include "framework/disk_file.h"
#include "framework/frame.h"
#include "framework/strings.h"
#include "framework/view.h"

#include <commdlg.h>

#include <algorithm>

namespace {

std::wstring FileNameOf(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

} // namespace

// ---------------------------------------------------------------- CDocument

CDocument::~CDocument() {
    for (CView* view : m_views)
        view->DetachDocument();
}

void CDocument::SetPathName(const std::wstring& path) {
    m_strPathName = path;
    SetTitle(FileNameOf(path));
}

void CDocument::SetTitle(const std::wstring& title) {
    m_strTitle = title;
    for (CView* view : m_views)
        if (CFrameWnd* frame = view->GetParentFrame(); frame && frame->m_hWnd)
            frame->OnUpdateFrameTitle();
}

void CDocument::AddView(CView* pView) {
    if (pView && std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CDocument::RemoveView(CView* pView) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), pView), m_views.end());
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, void* pHint) {
    auto views = m_views;
    for (CView* view : views)
        if (view != pSender)
            view->OnUpdate(pSender, lHint, pHint);
}

void CDocument::Serialize(CArchive&) {}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::wstring& path) {
    std::unique_ptr<CDiskFile> file;
    try {
        file = std::make_unique<CDiskFile>(path, CDiskFile::Mode::ReadDenyWrite);
    } catch (const CException& e) {
        // Nothing was touched: the document stays as it was.
        ReportSaveLoadException(path, &e, false, kFailedToOpenDocument);
        return false;
    }
    DeleteContents();
    // Marked while loading: a load that fails part-way leaves it so, and the
    // template then knows the contents are spoiled.
    SetModifiedFlag(true);
    try {
        if (file->GetLength() > 0) {
            CArchive ar(*file, CArchive::load);
            Serialize(ar);
            ar.Close();
        }
        file->Close();
    } catch (const CException& e) {
        file.reset();
        DeleteContents();
        ReportSaveLoadException(path, &e, false, kFailedToOpenDocument);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::wstring& path) {
    try {
        SaveToFile(path, [this](CArchive& ar) { Serialize(ar); });
    } catch (const CException& e) {
        ReportSaveLoadException(path, &e, true, kFailedToSaveDocument);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CDocument::OnCloseDocument() {
    // Each frame that shows this document goes; its views go with it.
    std::vector<CFrameWnd*> frames;
    for (CView* view : m_views)
        if (CFrameWnd* frame = view->GetParentFrame();
            frame && std::find(frames.begin(), frames.end(), frame) == frames.end())
            frames.push_back(frame);
    for (CFrameWnd* frame : frames)
        frame->DestroyWindow();
    DeleteContents();
    if (m_pTemplate)
        m_pTemplate->OnDocumentClosed();
}

bool CDocument::SaveModified() {
    if (!IsModified())
        return true;
    std::wstring name = m_strPathName.empty() ? m_strTitle : m_strPathName;
    switch (AppMessageBox(L"Save changes to " + name + L"?", MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL:
        return false;
    case IDYES:
        return DoFileSave();
    default:
        return true;
    }
}

bool CDocument::DoFileSave() {
    // A read-only file, or one that is gone (no attributes), is saved through the
    // Save As dialog; so is a document without a path.
    DWORD attributes = GetFileAttributesW(m_strPathName.c_str());
    if (m_strPathName.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_READONLY))
        return DoSave(std::wstring());
    return DoSave(m_strPathName);
}

bool CDocument::DoSave(const std::wstring& path, bool bReplace) {
    std::wstring target = path;
    if (target.empty()) {
        std::wstring proposal = m_strPathName;
        if (proposal.empty() && m_pTemplate) {
            proposal = m_strTitle;
            std::wstring ext = m_pTemplate->GetDocString(CSingleDocTemplate::filterExt);
            if (!ext.empty() && proposal.find(L'.') == std::wstring::npos)
                proposal += ext;
        }
        if (!m_pTemplate || !m_pTemplate->DoPromptFileName(proposal, false))
            return false;
        target = proposal;
    }
    // A failed save leaves the folder as it was (a file the user agreed to
    // replace in the dialog included), so there is nothing to clean up here.
    if (!OnSaveDocument(target))
        return false;
    if (bReplace)
        SetPathName(target);
    return true;
}

void CDocument::OnFileClose() {
    if (!SaveModified())
        return;
    OnCloseDocument();
}

void CDocument::ReportSaveLoadException(const std::wstring&, const CException* pError, bool,
                                        const wchar_t* fallback) {
    ReportLoadSaveError(pError, fallback);
}

// ---------------------------------------------------------------- CSingleDocTemplate

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, std::wstring strings,
                                       DocumentFactory makeDocument, FrameFactory makeFrame,
                                       ViewFactory makeView)
    : m_nIDResource(nIDResource), m_strings(std::move(strings)),
      m_makeDocument(std::move(makeDocument)), m_makeFrame(std::move(makeFrame)),
      m_makeView(std::move(makeView)) {}

CSingleDocTemplate::~CSingleDocTemplate() {
    // Windows first (their views still point at the document), then the document.
    if (m_frame)
        m_frame->DestroyWindow();
    m_frame.reset();
    m_document.reset();
}

std::wstring CSingleDocTemplate::GetDocString(DocStringIndex index) const {
    return GetField(m_strings, static_cast<int>(index));
}

void CSingleDocTemplate::SetDefaultTitle(CDocument* pDoc) {
    std::wstring name = GetDocString(docName);
    pDoc->SetTitle(name.empty() ? std::wstring(kUntitled) : name);
}

bool CSingleDocTemplate::CreateWindows() {
    m_frame = m_makeFrame();
    if (!m_frame)
        return false;
    if (CWinApp* app = AfxGetApp(); app && !app->m_pMainWnd)
        app->m_pMainWnd = m_frame.get();
    if (!m_frame->LoadFrame(m_nIDResource, GetDocString(windowTitle)))
        return false;
    std::unique_ptr<CView> view = m_makeView();
    if (!view || !view->Create(m_frame.get(), m_document.get()))
        return false;
    m_frame->SetView(std::move(view));
    return true;
}

void CSingleDocTemplate::InitialUpdateFrame(bool bMakeVisible) {
    if (!m_frame || !m_frame->m_hWnd)
        return;
    if (CView* view = m_frame->GetActiveView())
        view->OnInitialUpdate();
    m_frame->OnUpdateFrameTitle();
    if (bMakeVisible && !IsWindowVisible(m_frame->m_hWnd))
        m_frame->ActivateFrame(SW_SHOW);
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::wstring& path, bool bMakeVisible) {
    bool created = false;
    if (!m_document || !m_bOpen) {
        m_frame.reset();
        m_document = m_makeDocument();
        if (!m_document)
            return nullptr;
        m_document->m_pTemplate = this;
        created = true;
        if (!CreateWindows()) {
            DiscardCreated();
            return nullptr;
        }
        m_bOpen = true;
    } else if (!m_document->SaveModified()) {
        return nullptr;
    }
    CDocument* doc = m_document.get();
    if (path.empty()) {
        SetDefaultTitle(doc);
        if (!doc->OnNewDocument()) {
            if (created)
                DiscardCreated();
            return nullptr;
        }
    } else {
        bool wasModified = doc->IsModified();
        if (!doc->OnOpenDocument(path)) {
            if (created) {
                DiscardCreated();
            } else if (!doc->IsModified()) {
                doc->SetModifiedFlag(wasModified); // untouched: it stays as it was
            } else {
                // Spoiled part-way: start over as a new document, and the
                // views show it instead of what they held before the load.
                SetDefaultTitle(doc);
                doc->OnNewDocument();
                doc->UpdateAllViews(nullptr);
            }
            return nullptr;
        }
        doc->SetPathName(path);
    }
    InitialUpdateFrame(bMakeVisible);
    return doc;
}

void CSingleDocTemplate::DiscardCreated() {
    CWinApp* app = AfxGetApp();
    if (app && m_frame && app->m_pMainWnd == m_frame.get())
        app->m_pMainWnd = nullptr; // no quit message for a frame that never ran
    if (m_frame)
        m_frame->DestroyWindow();
    m_frame.reset();
    m_document.reset();
    m_bOpen = false;
}

bool CSingleDocTemplate::DoPromptFileName(std::wstring& fileName, bool bOpen) {
    std::wstring name = GetDocString(filterName);
    std::wstring ext = GetDocString(filterExt);
    // "<name>\0*<ext>\0All Files (*.*)\0*.*\0\0"
    std::wstring filter;
    if (!name.empty() && !ext.empty()) {
        filter += name;
        filter.push_back(L'\0');
        filter += L"*" + ext;
        filter.push_back(L'\0');
    }
    filter += L"All Files (*.*)";
    filter.push_back(L'\0');
    filter += L"*.*";
    filter.push_back(L'\0');
    filter.push_back(L'\0');

    std::wstring buffer = fileName;
    buffer.resize(std::max<std::size_t>(buffer.size() + 1, 32768), L'\0');
    std::wstring defExt = ext.size() > 1 && ext[0] == L'.' ? ext.substr(1) : ext;

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    CWinApp* app = AfxGetApp();
    ofn.hwndOwner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    BOOL ok;
    if (bOpen) {
        ofn.lpstrTitle = L"Open";
        ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        ok = GetOpenFileNameW(&ofn);
    } else {
        ofn.lpstrTitle = L"Save As";
        ofn.Flags |= OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
        ok = GetSaveFileNameW(&ofn);
    }
    if (!ok)
        return false;
    fileName.assign(buffer.c_str());
    return !fileName.empty();
}
