#pragma once
// The project document: one movie collection and the state of the download run
// that works on it. It answers Add and Batch Add, and saves itself once when
// the program closes: to its own file, or to the default project when it has
// none.
#include "download/download_run.h"
#include "framework/document.h"
#include "model/movie_list.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CPelgraneDoc : public CDocument {
public:
    // Fills `links` with the watch addresses found on the page at `url`.
    using LinkHarvester =
        std::function<void(const std::wstring& url, std::vector<std::wstring>& links)>;

    CPelgraneDoc();
    ~CPelgraneDoc() override;

    void Serialize(CArchive& ar) override;
    // Empties the list (entries go; records a row or a worker holds live on).
    // Runs before every load too, so an empty project file opens as an empty
    // list instead of showing the previous project's movies under its name.
    void DeleteContents() override;
    // Saves (see SaveAtClose), then closes the windows, which ends the program.
    void OnCloseDocument() override;
    // Never asks (the document is never marked modified). While Add or Batch
    // Add is reading pages the document cannot close yet: the close is
    // refused and taken up again once the pages read are in the list.
    bool SaveModified() override;

    // Removes every movie with this watch address; the list view drops its rows.
    void RemoveMovie(const std::wstring& url);

    // ---- Commands ----
    void OnAddMovie();
    void OnBatchAdd();
    // Shows the folder chooser and stores the chosen output folder.
    void OnOutputFolder();

    // ---- The download run ----
    // Queues the checked movies and starts the run. While a download of the
    // last run is still ending (a stop outlived by a slow disk or network
    // folder) nothing starts and the user is told so (CException).
    void StartDownload();
    // Ends the run: statuses rewritten first, then the run's threads stopped;
    // the views are updated.
    void StopDownload();
    // The output folder, created when missing.
    std::wstring GetOutputFolder() const;

    // ---- Wiring, set by the application before the document is used ----
    // The site: the watch-page reader, the link harvester and the site root the
    // dialogs' example addresses are built from.
    // Pages are read on a worker that a Cancel may leave behind, still reading:
    // it holds `reader` (and what `harvester` holds) until it ends.
    void SetSite(std::shared_ptr<IWatchPageReader> reader, LinkHarvester harvester,
                 std::wstring siteRoot);
    // The same with a reader the caller keeps alive for as long as any page
    // may still be read.
    void SetSite(IWatchPageReader* reader, LinkHarvester harvester, std::wstring siteRoot);
    // Where a project without a file of its own goes at close.
    void SetDefaultProjectPath(std::wstring path) { m_strDefaultProject = std::move(path); }
    const std::wstring& GetDefaultProjectPath() const { return m_strDefaultProject; }
    // The close-time save is armed only once the program has started with this
    // document: a start-up whose load failed writes nothing, so neither the
    // default project nor any other file is replaced by a partial read.
    void EnableSaveAtClose(bool bEnable = true) { m_bSaveAtClose = bEnable; }

    CYoutubeFileList m_movies;
    std::atomic<std::int32_t> m_bDownloading{0};
    // The run's threads and slots; works on the two members above.
    CDownloadRun m_run{m_movies, m_bDownloading};

private:
    // Asks for one address with the address dialog; true when the user confirmed.
    bool AskAddress(bool bBatch, std::wstring& address);
    // Reads the page (Add) or the link page and its watch pages (Batch Add)
    // on a worker while the window keeps answering, then adds what was read.
    void ReadAndAdd(const std::wstring& address, bool bBatch);
    void SaveAtClose();

    std::shared_ptr<IWatchPageReader> m_reader;
    LinkHarvester m_getWatchLinks;
    std::wstring m_strSiteRoot;
    std::wstring m_strDefaultProject;
    bool m_bSaveAtClose = false;
    bool m_bReading = false;       // inside ReadAndAdd
    bool m_bCloseWhenRead = false; // a close came meanwhile
};
