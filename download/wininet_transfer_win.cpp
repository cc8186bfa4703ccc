#include "download/wininet_transfer.h"

#include "download/decimal.h"

#include <windows.h>

#include <wininet.h>

#include <mutex>
#include <vector>

namespace {

constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;

class COutputFile {
public:
    explicit COutputFile(const std::wstring& path)
        // Created or emptied, write only; others may read it but not write it.
        : m_hFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~COutputFile() { Close(); }
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    bool Write(const char* data, DWORD size) {
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(m_hFile, data, size, &written, nullptr) || written == 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
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

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnection = nullptr;
    HINTERNET m_hRequest = nullptr;

private:
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
bool QueryHeader(HINTERNET request, DWORD what, std::wstring& text) {
    wchar_t buffer[16] = {};
    DWORD bytes = sizeof(buffer);
    if (!HttpQueryInfoW(request, what, buffer, &bytes, nullptr))
        return false;
    text.assign(buffer, bytes / sizeof(wchar_t));
    return true;
}

int Transfer(CYoutubeFile& movie, CTransferControl& control, CInternetHandles& net) {
    COutputFile file(movie.m_strFilePath);
    if (!file.IsOpen())
        return 1; // nothing has been sent to the network

    if (!net.Keep(net.m_hInternet, InternetOpenW(kTransferAgent, INTERNET_OPEN_TYPE_PRECONFIG,
                                                 nullptr, nullptr, 0)))
        return 1;
    CUrlParts url;
    if (!SplitUrl(movie.m_strVideoUrl, url))
        return 1;
    if (!net.Keep(net.m_hConnection,
                  InternetConnectW(net.m_hInternet, url.host.c_str(), url.port, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0)))
        return 1;
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    const DWORD flags =
        kRequestFlags | (url.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
    if (!net.Keep(net.m_hRequest,
                  HttpOpenRequestW(net.m_hConnection, nullptr, url.object.c_str(), nullptr,
                                   nullptr, acceptTypes, flags, 0)))
        return 1;
    const HINTERNET request = net.m_hRequest;
    if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0))
        return 1;

    std::wstring text;
    if (!QueryHeader(request, HTTP_QUERY_STATUS_CODE, text) || ParseDecimal32(text) != 200)
        return 1;
    std::optional<std::uint64_t> announced;
    if (QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, text)) {
        announced = ParseContentLength(text);
        const auto size = static_cast<std::uint32_t>(ParseDecimal32(text));
        if (!control.Apply([&] {
                movie.m_dwSize = size;
                movie.m_nProgress = 0;
            }))
            return 1;
    }

    std::vector<char> block(kReadBlockBytes);
    std::uint64_t count = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, block.data(), static_cast<DWORD>(block.size()), &read))
            return 1;
        if (read == 0)
            break;
        bool written = false;
        if (!control.Apply([&] {
                written = file.Write(block.data(), read);
                count += read;
                const std::uint32_t size = movie.m_dwSize;
                if (written && size != 0)
                    movie.m_nProgress = static_cast<std::int32_t>(count * 100 / size);
            }) ||
            !written)
            return 1;
    }
    // A body that stops short of what the server announced is cut off, not done.
    if (announced && count < *announced)
        return 1;
    return file.Close() ? 0 : 1;
}

} // namespace

int CWinInetTransfer::DownloadVideo(CYoutubeFile& movie, CTransferControl& control) {
    CInternetHandles net;
    control.SetAbort([&net] { net.Abort(); });
    const int result = Transfer(movie, control, net);
    control.ClearAbort();
    net.CloseAll();
    return result;
}

void CWinInetTransfer::DeleteOutputFile(const std::wstring& path) { DeleteFileW(path.c_str()); }

int DownloadVideo(CYoutubeFile& movie) {
    CRunGate gate;
    CTransferControl control(gate);
    return CWinInetTransfer().DownloadVideo(movie, control);
}
