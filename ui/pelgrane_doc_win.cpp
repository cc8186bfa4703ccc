#include "ui/pelgrane_doc.h"

#include "download/wininet_transfer.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "ui/dlg_add.h"

CPelgraneDoc::CPelgraneDoc() {
    OnCommand(ID_MOVIES_ADD, &CPelgraneDoc::OnAddMovie);
    OnCommand(ID_MOVIES_BATCH_ADD, &CPelgraneDoc::OnBatchAdd);
    OnCommand(ID_OPTIONS_OUTPUT_FOLDER, &CPelgraneDoc::OnOutputFolder);
    OnCommand(ID_FILE_SAVE, &CDocument::OnFileSave);
    OnCommand(ID_FILE_SAVE_AS, &CDocument::OnFileSaveAs);
    OnCommand(ID_FILE_CLOSE, &CDocument::OnFileClose);
    m_run.SetTransfer(std::make_shared<CWinInetTransfer>());
    m_run.SetOutputFolder([] { return ::ResolveOutputFolder(); });
}

CPelgraneDoc::~CPelgraneDoc() = default;

void CPelgraneDoc::SetSite(IWatchPageReader* reader, LinkHarvester harvester,
                           std::wstring siteRoot) {
    m_movies.SetPageReader(reader);
    m_getWatchLinks = std::move(harvester);
    m_strSiteRoot = std::move(siteRoot);
}

void CPelgraneDoc::Serialize(CArchive& ar) {
    m_movies.Serialize(ar);
}

void CPelgraneDoc::DeleteContents() { m_movies.RemoveAll(); }

void CPelgraneDoc::SaveAtClose() {
    if (!m_bSaveAtClose)
        return;
    // Whatever the outcome (saved, failed and reported, or cancelled in the
    // Save As dialog), the program closes afterwards.
    if (!GetPathName().empty())
        DoFileSave();
    else if (!m_strDefaultProject.empty())
        DoSave(m_strDefaultProject);
}

void CPelgraneDoc::OnCloseDocument() {
    SaveAtClose();
    m_bSaveAtClose = false; // one save per close, even if the close is re-entered
    CDocument::OnCloseDocument();
}

void CPelgraneDoc::RemoveMovie(const std::wstring& url) {
    m_movies.RemoveByUrl(url);
}

bool CPelgraneDoc::AskAddress(bool bBatch, std::wstring& address) {
    CDlgAdd dlg(m_strSiteRoot);
    dlg.m_bBatch = bBatch ? 1 : 0;
    if (dlg.DoModal() != IDOK)
        return false;
    address = dlg.m_strAddress;
    return true;
}

void CPelgraneDoc::OnAddMovie() {
    std::wstring address;
    if (!AskAddress(false, address))
        return;
    // A reader error leaves the collection as it was and reaches the command
    // dispatcher, which shows it.
    m_movies.AddMovie(address);
    UpdateAllViews(nullptr);
}

void CPelgraneDoc::OnBatchAdd() {
    std::wstring address;
    if (!AskAddress(true, address))
        return;
    std::vector<std::wstring> links;
    if (m_getWatchLinks)
        m_getWatchLinks(address, links);
    try {
        for (const std::wstring& link : links)
            m_movies.AddMovie(link);
    } catch (...) {
        // The movies added before the failure stay; the list shows them now
        // rather than at some later refresh. The error goes on to be reported.
        UpdateAllViews(nullptr);
        throw;
    }
    UpdateAllViews(nullptr);
}
