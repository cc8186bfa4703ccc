#include "ui/pelgrane_doc.h"

#include "settings/settings.h"

void CPelgraneDoc::StartDownload() { m_run.OnDownload(); }

void CPelgraneDoc::StopDownload() {
    m_run.StopDownload();
    UpdateAllViews(nullptr);
}

std::wstring CPelgraneDoc::GetOutputFolder() const { return ::GetOutputFolder(); }

void CPelgraneDoc::OnOutputFolder() { ::OnOutputFolder(); }
