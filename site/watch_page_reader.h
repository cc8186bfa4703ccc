#pragma once
// The video page client: reads watch pages and link pages of the video site
// through an opener and takes movie data or watch links out of them.
#include "model/movie_list.h"
#include "site/page_reader.h"

#include <memory>
#include <string>
#include <vector>

// The video site's web root when the user has configured none.
inline constexpr wchar_t kDefaultSiteRoot[] = L"http://www.youtube.com/";

class CWatchPageReader : public IWatchPageReader {
public:
    // `root`: scheme, host name and closing slash of the video site.
    CWatchPageReader(std::shared_ptr<IPageOpener> opener, std::wstring root);

    // Reads the watch page at `url`; returns the video address (empty without
    // a token) and sets `title`, emptied first. Raises the opener's internet
    // error; the title stays empty then.
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override;
    // Fills `links` with the watch addresses found on the page at `url`;
    // `links` is emptied first and stays empty when the read fails.
    void GetWatchLinks(const std::wstring& url, std::vector<std::wstring>& links);

    const std::wstring& Root() const { return m_strRoot; }

private:
    std::shared_ptr<IPageOpener> m_opener;
    std::wstring m_strRoot;
};
