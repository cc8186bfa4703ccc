#pragma once
// The HTTP transfer of one video file over WinInet (Windows only): one GET of
// the record's video address into its output file, status 200 only, the
// announced size and the percent done kept in the record after every block.
//
// The read size follows the link (download/read_size.h): small reads keep
// the file and the percent moving on a slow link, large ones keep a fast link
// at full speed. Each block is written to disk at once while that is cheap,
// and by a thread of its own, overlapping the next read, while the disk is
// slow (download/write_behind.h).
//
// A body cut off by the network (read error, or the data ending before the
// announced length) is asked for again from the bytes already on disk, with
// a Range request, up to 3 times after waits of 1, 2 and 4 s that a stop cuts
// short; a server that answers with the whole body instead is taken from the
// start (the file emptied). HTTP errors are never retried. A movie whose
// last download was stopped (Cancelled) continues the same way from the
// length of its file; the answer is taken only when it is 206 starting
// exactly there, for the whole of the recorded size, otherwise the download
// starts over. A body that ends before
// its announced Content-Length is a failure; without Content-Length, the end
// of the data is success. On a stop, the run's abort closes the request,
// connection and internet handles, which makes a blocked read return at once.
#include "download/transfer.h"
#include "download/write_behind.h"

#include <chrono>
#include <cstddef>
#include <mutex>

inline constexpr wchar_t kTransferAgent[] = L"Torvane Brenlow";

class CWinInetTransfer : public ITransferEngine {
public:
    // Where the body goes: the output file, or nowhere (for measuring what
    // the writing costs the transfer; no file is created).
    enum class Output { File, Discard };
    explicit CWinInetTransfer(Output output = Output::File) : m_output(output) {}
    // The first wait before a cut-off body is asked for again (1 s; then 2
    // and 4 s). Tests shorten it.
    void SetFirstRetryWait(std::chrono::milliseconds wait) { m_firstRetryWait = wait; }

    int DownloadVideo(CYoutubeFile& movie, CTransferControl& control) override;
    void DeleteOutputFile(const std::wstring& path) override;
    bool FolderExists(const std::wstring& folder) override;
    void CreateOutputFolder(const std::wstring& folder) override;

private:
    Output m_output;
    std::chrono::milliseconds m_firstRetryWait{1000};
    // The blocks of the last transfer, for the next one (a run downloads
    // one movie at a time; a transfer that finds them in use makes its own).
    std::mutex m_buffersMutex;
    CBlockBuffers m_buffers;
};

// The transfer outside any run (nothing can stop it): 0 success, 1 failure.
int DownloadVideo(CYoutubeFile& movie);
