#include "ui/pelgrane_doc.h"

#include "framework/errors.h"
#include "settings/settings.h"

// Two runs never overlap: refusing, rather than waiting, keeps the window
// answering while the old download ends.
inline constexpr wchar_t kLastDownloadStillEnding[] =
    L"The last download is still ending. Try Download again in a moment.";

void CPelgraneDoc::StartDownload() {
    if (!m_run.OnDownload())
        throw CException(kLastDownloadStillEnding);
}

void CPelgraneDoc::StopDownload() {
    m_run.StopDownload();
    UpdateAllViews(nullptr);
}

std::wstring CPelgraneDoc::GetOutputFolder() const { return ::GetOutputFolder(); }

void CPelgraneDoc::OnOutputFolder() { ::OnOutputFolder(); }
