#include "ui/pelgrane_doc.h"

#include <windows.h>

// The run's thread side belongs to the download engine; until it is wired in,
// a run is the queueing and un-queueing of the records and the run flag.
void CPelgraneDoc::StartDownload() {
    m_bDownloading = 1;
    m_movies.MarkForDownload(true);
}

void CPelgraneDoc::StopDownload() {
    m_movies.MarkForDownload(false);
    m_bDownloading = 0;
    UpdateAllViews(nullptr);
}

std::wstring CPelgraneDoc::GetOutputFolder() const {
    std::wstring folder =
        m_strDefaultProject.substr(0, m_strDefaultProject.find_last_of(L'\\') + 1);
    folder += L"Output\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}
