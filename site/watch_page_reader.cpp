#include "site/watch_page_reader.h"

#include "site/extract.h"

CWatchPageReader::CWatchPageReader(std::shared_ptr<IPageOpener> opener, std::wstring root)
    : m_opener(std::move(opener)), m_strRoot(std::move(root)) {}

std::wstring CWatchPageReader::GetVideoUrl(const std::wstring& url, std::wstring& title) {
    title.clear();
    std::wstring page;
    if (!ReadPageText(*m_opener, url, page))
        return {};
    return VideoUrlFromPage(page, m_strRoot, title);
}

void CWatchPageReader::GetWatchLinks(const std::wstring& url, std::vector<std::wstring>& links) {
    links.clear();
    std::wstring page;
    if (!ReadPageText(*m_opener, url, page))
        return;
    WatchLinksFromPage(page, m_strRoot, links);
}
