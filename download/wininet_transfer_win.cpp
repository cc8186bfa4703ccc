#include "download/wininet_transfer.h"

#include "download/decimal.h"
#include "download/read_size.h"
#include "download/write_behind.h"

#include <windows.h>

#include <wininet.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

namespace {

constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;

class COutputFile {
public:
    // Created or emptied (or, with `keep`, opened with its bytes kept and
    // written after them), write only; others may read it but not write it.
    //
    // A new file is not emptied on creation: under Wine on ext4, a file
    // emptied when opened has all of its bytes sent to the disk when it is
    // closed, which held the end of a 256 MiB download up by 10-55 ms here.
    // Only a file that has bytes is emptied (a download replacing an old one).
    COutputFile(const std::wstring& path, bool keep)
        : m_hFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!IsOpen())
            return;
        LARGE_INTEGER zero{};
        if (keep)
            SetFilePointerEx(m_hFile, zero, nullptr, FILE_END);
        else if (Size() > 0 && !Truncate())
            Close(); // an old file that cannot be emptied cannot take the download
    }
    ~COutputFile() { Close(); }
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    bool Write(const char* data, DWORD size) {
        // Pieces of 1 MiB copy into the file cache faster here than whole
        // 4 MiB blocks (quiet rounds here: 1.9-2.4 against 1.6-1.8 GB/s).
        constexpr DWORD kPiece = 1024 * 1024;
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(m_hFile, data, size < kPiece ? size : kPiece, &written, nullptr) ||
                written == 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
    }
    std::uint64_t Size() const {
        LARGE_INTEGER size{};
        return GetFileSizeEx(m_hFile, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }
    // Empties the file for a download that starts over.
    bool Truncate() {
        LARGE_INTEGER zero{};
        return SetFilePointerEx(m_hFile, zero, nullptr, FILE_BEGIN) && SetEndOfFile(m_hFile);
    }
    bool Close() {
        if (!IsOpen())
            return true;
        const bool ok = CloseHandle(m_hFile) != FALSE;
        m_hFile = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_hFile;
};

// The transfer's three internet handles. A stop closes them from another
// thread (which makes a blocked call on them return); the transfer's own
// close at the end closes what is left, request first, internet handle last.
class CInternetHandles {
public:
    ~CInternetHandles() { CloseAll(); }

    // Stores a handle just opened; false (and the handle closed) when the
    // transfer has been aborted meanwhile.
    bool Keep(HINTERNET& slot, HINTERNET handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bAborted) {
            if (handle)
                InternetCloseHandle(handle);
            return false;
        }
        slot = handle;
        return handle != nullptr;
    }
    void Abort() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAborted = true;
        CloseLocked();
    }
    void CloseAll() {
        std::lock_guard<std::mutex> lock(m_mutex);
        CloseLocked();
    }
    // Before the next request on the same connection.
    void CloseRequest() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_hRequest)
            InternetCloseHandle(m_hRequest);
        m_hRequest = nullptr;
    }

    // A stop may close and clear them at any moment, so they are read under
    // the lock; a handle read just before the stop then fails its next call.
    HINTERNET Internet() { return Get(m_hInternet); }
    HINTERNET Connection() { return Get(m_hConnection); }
    HINTERNET Request() { return Get(m_hRequest); }

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnection = nullptr;
    HINTERNET m_hRequest = nullptr;

private:
    HINTERNET Get(HINTERNET& slot) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return slot;
    }
    void CloseLocked() {
        for (HINTERNET* h : {&m_hRequest, &m_hConnection, &m_hInternet}) {
            if (*h) {
                InternetCloseHandle(*h);
                *h = nullptr;
            }
        }
    }
    std::mutex m_mutex;
    bool m_bAborted = false;
};

struct CUrlParts {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host;
    std::wstring object;
    INTERNET_PORT port = 0;
};

bool SplitUrl(const std::wstring& url, CUrlParts& parts) {
    if (url.empty())
        return false;
    std::vector<wchar_t> host(INTERNET_MAX_HOST_NAME_LENGTH + 1);
    std::vector<wchar_t> path(url.size() + 2);
    std::vector<wchar_t> extra(url.size() + 2);
    URL_COMPONENTSW c{};
    c.dwStructSize = sizeof(c);
    c.lpszHostName = host.data();
    c.dwHostNameLength = static_cast<DWORD>(host.size());
    c.lpszUrlPath = path.data();
    c.dwUrlPathLength = static_cast<DWORD>(path.size());
    c.lpszExtraInfo = extra.data();
    c.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &c))
        return false;
    if (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    parts.scheme = c.nScheme;
    parts.host.assign(host.data(), c.dwHostNameLength);
    parts.object.assign(path.data(), c.dwUrlPathLength);
    parts.object.append(extra.data(), c.dwExtraInfoLength);
    if (parts.object.empty() || parts.object[0] != L'/')
        parts.object.insert(parts.object.begin(), L'/');
    // An address without a port gives the scheme's default port.
    parts.port = c.nPort;
    return !parts.host.empty();
}

// A header query into a 16-character buffer; false when the header is
// missing or its text does not fit.
template <std::size_t N = 16> bool QueryHeader(HINTERNET request, DWORD what, std::wstring& text) {
    wchar_t buffer[N] = {};
    DWORD bytes = sizeof(buffer);
    if (!HttpQueryInfoW(request, what, buffer, &bytes, nullptr))
        return false;
    text.assign(buffer, bytes / sizeof(wchar_t));
    return true;
}

// Bytes in flight between the network and the disk: a few reads' worth, so
// a slow write briefly does not hold the next read back.
constexpr std::size_t kRingBuffers = 3;

constexpr int kRetries = 3;

enum class BodyEnd { Complete, CutOff, Failed };

int Transfer(CYoutubeFile& movie, CTransferControl& control, CInternetHandles& net, bool discard,
             std::chrono::milliseconds firstRetryWait, CBlockBuffers* buffers) {
    // A stopped download continues from its file when the record still
    // knows the movie's size.
    const bool resume = movie.m_nPrevStatus == Cancelled && !discard;
    const std::uint32_t recordedSize = movie.m_dwSize;
    // The file is created (or emptied, or opened to continue) through the
    // run's gate: after a stop, a worker that was slow to get here leaves an
    // existing file untouched.
    std::optional<COutputFile> file;
    std::uint64_t count = 0; // bytes in the file; the writer's alone while it writes
    if (!discard && (!control.Apply([&] {
            file.emplace(movie.m_strFilePath, resume);
            if (!file->IsOpen() || !resume)
                return;
            count = file->Size();
            // Nothing to continue from: start over.
            if (recordedSize == 0 || count >= recordedSize) {
                file->Truncate();
                count = 0;
            }
        }) || !file->IsOpen()))
        return 1; // nothing has been sent to the network

    if (!net.Keep(net.m_hInternet,
                  InternetOpenW(kTransferAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)))
        return 1;
    CUrlParts url;
    if (!SplitUrl(movie.m_strVideoUrl, url))
        return 1;
    if (!net.Keep(net.m_hConnection,
                  InternetConnectW(net.Internet(), url.host.c_str(), url.port, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0)))
        return 1;
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    // An https address goes over TLS with the system's certificate checks; a
    // plain request to port 443 would only fail.
    const DWORD flags =
        kRequestFlags | (url.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);

    // The file and the percent follow each block as soon as it is on disk.
    CWriteBehind writer(
        buffers, kRingBuffers, CReadSizer::kMaxBlock,
        [&](const char* data, std::size_t size) {
            bool written = false;
            return control.Apply([&] {
                written = !file || file->Write(data, static_cast<DWORD>(size));
                if (!written)
                    return;
                count += size;
                if (const std::uint32_t total = movie.m_dwSize; total != 0)
                    movie.m_nProgress = RunningPercent(count, total);
            }) && written;
        },
        // A failed write ends the transfer; a read waiting on a slow link
        // must not keep it.
        [&net] { net.Abort(); });

    // The whole body's length, once known: announced by a 200 answer, or
    // the recorded size of a download being continued.
    std::uint64_t total = 0;
    bool knowTotal = count > 0;
    if (knowTotal)
        total = recordedSize;
    int retries = 0;
    for (;;) {
        net.CloseRequest();
        if (!net.Keep(net.m_hRequest,
                      HttpOpenRequestW(net.Connection(), nullptr, url.object.c_str(), nullptr,
                                       nullptr, acceptTypes, flags, 0)))
            return 1;
        const HINTERNET request = net.Request();
        const std::uint64_t from = count;
        const std::wstring range =
            from > 0 ? L"Range: bytes=" + std::to_wstring(from) + L"-\r\n" : std::wstring();
        bool cut = false;
        if (!request || !HttpSendRequestW(request, range.empty() ? nullptr : range.c_str(),
                                          static_cast<DWORD>(range.size()), nullptr, 0)) {
            // A connection that fails again while a cut-off body is retried
            // is one more cut; the first request fails as it always did.
            if (retries == 0 || control.Stopped())
                return 1;
            cut = true;
        }

        if (!cut) {
            std::wstring text;
            if (!QueryHeader(request, HTTP_QUERY_STATUS_CODE, text))
                return 1;
            const std::int32_t status = ParseDecimal32(text);
            bool whole = status == 200;
            // 416: the range lies past the end of the body, which is now
            // shorter than the file.
            if (from > 0 && (status == 206 || status == 416)) {
                std::optional<CContentRange> answer;
                if (status == 206 && QueryHeader<128>(request, HTTP_QUERY_CONTENT_RANGE, text))
                    answer = ParseContentRange(text);
                if (!answer || answer->first != from || !knowTotal || answer->total != total) {
                    // Not the rest of the same body: start over with a
                    // request for the whole of it.
                    if (!writer.Finish() || !control.Apply([&] {
                            file->Truncate();
                            count = 0;
                        }))
                        return 1;
                    knowTotal = false;
                    continue;
                }
                // The rest of the same body: the bytes on disk count as done
                // from now on, before the first new one arrives.
                if (!control.Apply([&] {
                        if (const std::uint32_t size = movie.m_dwSize; size != 0)
                            movie.m_nProgress = RunningPercent(count, size);
                    }))
                    return 1;
            } else if (!whole) {
                return 1; // HTTP errors are not retried
            }
            if (whole) {
                // The whole body after all (a server without ranges): the
                // file starts over.
                if (from > 0 && (!writer.Finish() || !control.Apply([&] {
                        file->Truncate();
                        count = 0;
                    })))
                    return 1;
                knowTotal = false;
                if (QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, text)) {
                    const auto length = ParseContentLength(text);
                    knowTotal = length.has_value();
                    total = length.value_or(0);
                    const auto size = static_cast<std::uint32_t>(ParseDecimal32(text));
                    if (!control.Apply([&] {
                            movie.m_dwSize = size;
                            movie.m_nProgress = 0;
                        }))
                        return 1;
                }
            }

            CReadSizer sizer;
            BodyEnd end = BodyEnd::Complete;
            for (;;) {
                // Unless data is flowing, asks how much of the body has arrived
                // (waiting for the first byte or the end); a failing query leaves
                // the verdict to the read.
                const auto asking = std::chrono::steady_clock::now();
                DWORD buffered = 0;
                if (!sizer.Flowing() && !InternetQueryDataAvailable(request, &buffered, 0, 0))
                    buffered = 0;
                char* buffer = writer.Acquire();
                if (!buffer) {
                    end = BodyEnd::Failed;
                    break;
                }
                const std::size_t asked = sizer.Next(buffered);
                DWORD read = 0;
                const auto start = std::chrono::steady_clock::now();
                if (!InternetReadFile(request, buffer, static_cast<DWORD>(asked), &read)) {
                    end = BodyEnd::CutOff;
                    break;
                }
                if (read == 0)
                    break;
                const auto now = std::chrono::steady_clock::now();
                sizer.Record(asked, read, now - start);
                control.CountReceived(read);
                // The block's arrival includes a wait for its first byte.
                writer.Submit(read, now - asking);
            }
            if (!writer.Finish() || end == BodyEnd::Failed || control.Stopped())
                return 1;
            // A body that stops short of its length is cut off, not done.
            cut = end == BodyEnd::CutOff || (knowTotal && count < total);
        }
        if (!cut)
            break;
        if (retries == kRetries || control.WaitStopped(firstRetryWait * (1 << retries)))
            return 1;
        ++retries;
    }
    if (file && !file->Close())
        return 1;
    // The percent reaches its final value (100 for a whole announced body)
    // only now that the file is complete.
    control.Apply([&] {
        if (const std::uint32_t size = movie.m_dwSize; size != 0)
            movie.m_nProgress = FinalPercent(count, size);
    });
    return 0;
}

} // namespace

int CWinInetTransfer::DownloadVideo(CYoutubeFile& movie, CTransferControl& control) {
    CInternetHandles net;
    control.SetAbort([&net] { net.Abort(); });
    std::unique_lock<std::mutex> buffers(m_buffersMutex, std::try_to_lock);
    const int result = Transfer(movie, control, net, m_output == Output::Discard, m_firstRetryWait,
                                buffers.owns_lock() ? &m_buffers : nullptr);
    control.ClearAbort();
    net.CloseAll();
    return result;
}

void CWinInetTransfer::DeleteOutputFile(const std::wstring& path) {
    DeleteFileW(path.c_str());
}

bool CWinInetTransfer::FolderExists(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CWinInetTransfer::CreateOutputFolder(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
}

int DownloadVideo(CYoutubeFile& movie) {
    CRunGate gate;
    CTransferControl control(gate);
    return CWinInetTransfer().DownloadVideo(movie, control);
}
