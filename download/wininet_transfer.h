#pragma once
// The HTTP transfer of one video file over WinInet (Windows only): one GET of
// the record's video address into its output file, status 200 only, the
// announced size and the percent done kept in the record after every block.
//
// The read size follows the link (download/read_size.h): small reads keep
// the file and the percent moving on a slow link, large ones keep a fast link
// at full speed. Blocks are written to disk on a thread of their own while
// the next one is read (download/write_behind.h). A body that ends before
// its announced Content-Length is a failure; without Content-Length, the end
// of the data is success. On a stop, the run's abort closes the request,
// connection and internet handles, which makes a blocked read return at once.
#include "download/transfer.h"

#include <cstddef>

inline constexpr wchar_t kTransferAgent[] = L"Torvane Brenlow";

class CWinInetTransfer : public ITransferEngine {
public:
    // Where the body goes: the output file, or nowhere (for measuring what
    // the writing costs the transfer; no file is created).
    enum class Output { File, Discard };
    explicit CWinInetTransfer(Output output = Output::File) : m_output(output) {}

    int DownloadVideo(CYoutubeFile& movie, CTransferControl& control) override;
    void DeleteOutputFile(const std::wstring& path) override;
    bool FolderExists(const std::wstring& folder) override;
    void CreateOutputFolder(const std::wstring& folder) override;

private:
    Output m_output;
};

// The transfer outside any run (nothing can stop it): 0 success, 1 failure.
int DownloadVideo(CYoutubeFile& movie);
