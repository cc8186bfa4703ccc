#include "ui/pelgrane_doc.h"

#include "download/wininet_transfer.h"
#include "framework/app.h"
#include "framework/frame.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "ui/dlg_add.h"
#include "ui/page_reading.h"
#include "ui/reading_dlg.h"

#include <stdexcept>

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

void CPelgraneDoc::SetSite(std::shared_ptr<IWatchPageReader> reader, LinkHarvester harvester,
                           std::wstring siteRoot) {
    m_movies.SetPageReader(reader.get());
    m_reader = std::move(reader);
    m_getWatchLinks = std::move(harvester);
    m_strSiteRoot = std::move(siteRoot);
}

void CPelgraneDoc::SetSite(IWatchPageReader* reader, LinkHarvester harvester,
                           std::wstring siteRoot) {
    // Shared without being owned.
    SetSite(std::shared_ptr<IWatchPageReader>(std::shared_ptr<void>(), reader),
            std::move(harvester), std::move(siteRoot));
}

void CPelgraneDoc::Serialize(CArchive& ar) {
    m_movies.Serialize(ar);
}

void CPelgraneDoc::DeleteContents() {
    m_movies.RemoveAll();
}

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

bool CPelgraneDoc::SaveModified() {
    if (m_bReading) {
        m_bCloseWhenRead = true;
        return false;
    }
    return CDocument::SaveModified();
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
    ReadAndAdd(address, false);
}

void CPelgraneDoc::OnBatchAdd() {
    std::wstring address;
    if (!AskAddress(true, address))
        return;
    ReadAndAdd(address, true);
}

void CPelgraneDoc::ReadAndAdd(const std::wstring& address, bool bBatch) {
    // A Batch Add without a harvester finds no links and reads nothing.
    if (bBatch && !m_getWatchLinks)
        return UpdateAllViews(nullptr);
    if (!m_reader)
        throw std::logic_error("CPelgraneDoc: no watch-page reader");
    const std::size_t count = m_movies.GetCount();
    const std::size_t room =
        count < CYoutubeFileList::kMaxMovies ? CYoutubeFileList::kMaxMovies - count : 0;
    CPageReading reading(m_reader, bBatch ? m_getWatchLinks : nullptr, address, room);
    {
        // The window answers while the pages are read, so a close may come:
        // this document must stay until the command is over (see SaveModified).
        m_bReading = true;
        m_bCloseWhenRead = false;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{m_bReading};
        WaitForPageReading(reading);
    }
    const std::vector<MoviePtr> movies = reading.TakeMovies();
    const std::exception_ptr error = reading.Error();
    // A failed Add, or a Batch Add whose page of links could not be read,
    // adds nothing and has nothing to refresh; the error reaches the command
    // dispatcher, which shows it.
    if (error && (!bBatch || !reading.LinksRead()))
        std::rethrow_exception(error);
    // A cancelled Add read nothing to keep.
    if (!reading.IsCancelled() || !movies.empty()) {
        try {
            for (const MoviePtr& movie : movies)
                m_movies.InsertMovie(movie);
        } catch (...) {
            UpdateAllViews(nullptr);
            throw;
        }
        // The movies read before a failure or a Cancel stay; the list shows
        // them now rather than at some later refresh. The error goes on to be
        // reported.
        UpdateAllViews(nullptr);
        if (error)
            std::rethrow_exception(error);
    }
    // The close asked for meanwhile, now that the project holds the pages. (A
    // close that came with an error is left to the user, who reads the error.)
    if (m_bCloseWhenRead)
        if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd)
            app->m_pMainWnd->PostMessage(WM_CLOSE);
}
