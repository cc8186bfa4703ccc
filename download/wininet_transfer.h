#pragma once
// The HTTP transfer of one video file over WinInet (Windows only): one GET of
// the record's video address into its output file, status 200 only, the
// announced size and the percent done kept in the record after every block.
//
// The body is read in large blocks: each read call costs tens of
// microseconds, so small blocks would cap the speed. A body that ends before
// its announced Content-Length is a failure; without Content-Length, the end
// of the data is success. On a stop, the run's abort closes the request,
// connection and internet handles, which makes a blocked read return at once.
#include "download/transfer.h"

#include <cstddef>

inline constexpr wchar_t kTransferAgent[] = L"Torvane Brenlow";
inline constexpr std::size_t kReadBlockBytes = 1024 * 1024;

class CWinInetTransfer : public ITransferEngine {
public:
    int DownloadVideo(CYoutubeFile& movie, CTransferControl& control) override;
    void DeleteOutputFile(const std::wstring& path) override;
};

// The transfer outside any run (nothing can stop it): 0 success, 1 failure.
int DownloadVideo(CYoutubeFile& movie);
