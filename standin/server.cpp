// The stand-in site's HTTP/1.1 server: one thread accepts, one thread per
// connection answers its requests in turn (keep-alive).
#include "standin/server.h"

#include "standin/socket.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace standin {

namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kBlock = 64 * 1024;
constexpr int kPollMs = 50;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The decoded value of the first query parameter `name`; empty if absent.
std::string QueryValue(std::string_view target, std::string_view name) {
    const std::size_t q = target.find('?');
    if (q == std::string_view::npos)
        return {};
    std::string_view query = target.substr(q + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (pair.substr(0, eq) == name)
            return eq == std::string_view::npos ? std::string()
                                                : PercentDecode(pair.substr(eq + 1));
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 206:
        return "Partial Content";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

const std::string kNotFoundPage =
    "<!DOCTYPE html>\r\n<html><head><title>Not Found</title></head>\r\n"
    "<body><h1>Not Found</h1><p>The requested address was not found on this server.</p>"
    "</body></html>\r\n";

BodyFiller StringFiller(std::string text) {
    auto shared = std::make_shared<const std::string>(std::move(text));
    return [shared](std::uint64_t offset, char* out, std::size_t count) {
        std::memcpy(out, shared->data() + offset, count);
    };
}

struct Response {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string location;
    std::uint64_t size = 0;
    BodyFiller fill;
};

Response Page(std::string body, int status = 200) {
    Response r;
    r.status = status;
    r.size = body.size();
    r.fill = StringFiller(std::move(body));
    return r;
}

// Waits one poll for bytes and appends what arrives; false when the peer
// closed the connection or it failed.
// "bytes=<first>-" or "bytes=<first>-<last>" (one range, last >= first);
// false for anything else, which is then served whole.
bool ParseRange(const std::string& value, std::uint64_t& first, std::uint64_t& last) {
    const std::string prefix = "bytes=";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::size_t at = prefix.size();
    auto number = [&](std::uint64_t& n) {
        const std::size_t start = at;
        n = 0;
        while (at < value.size() && value[at] >= '0' && value[at] <= '9' && at - start < 18)
            n = n * 10 + static_cast<std::uint64_t>(value[at++] - '0');
        return at > start;
    };
    if (!number(first) || at >= value.size() || value[at++] != '-')
        return false;
    if (at == value.size())
        return true;
    std::uint64_t end = 0;
    if (!number(end) || at != value.size() || end < first)
        return false;
    last = std::min(last, end);
    return true;
}

bool ReceiveMore(const net::Socket& s, std::string& pending) {
    const net::Ready ready = net::WaitReadable(s, kPollMs);
    if (ready == net::Ready::Error)
        return false;
    if (ready == net::Ready::Timeout)
        return true;
    char buffer[4096];
    const long n = net::Receive(s, buffer, sizeof buffer);
    if (n == 0 || n == -2)
        return false;
    if (n > 0)
        pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

} // namespace

std::string Request::Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (EqualNoCase(key, name))
            return value;
    return {};
}

bool Request::HasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return EqualNoCase(h.first, name); });
}

struct Server::Impl {
    struct Route {
        int status;
        std::string contentType;
        std::uint64_t size;
        BodyFiller fill;
    };
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    net::Startup startup;
    net::Socket listener;
    std::uint16_t port = 0;
    std::atomic<bool> stopping{false};

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::map<std::string, Route> routes;
    std::map<std::string, FaultSpec> faults;
    std::vector<Movie> movies = Catalogue();
    std::vector<Request> log;
    std::map<std::string, std::vector<SentMark>, std::less<>> sendLog;
    bool stallsReleased = false;
    bool rangeSupport = true;
    std::size_t stalled = 0;
    std::size_t openConnections = 0;

    std::thread acceptThread;
    std::list<Connection> connections;

    void AcceptLoop();
    void Serve(net::Socket socket);
    bool ReadRequest(const net::Socket& s, std::string& pending, Request& request);
    bool Answer(net::Socket& s, const Request& request, std::string& pending);
    Response Resolve(const Request& request);
    FaultSpec TakeFault(const Request& request);
    bool SendAll(const net::Socket& s, const char* data, std::size_t size);
    bool SendBody(const net::Socket& s, const Response& r, std::uint64_t from, std::uint64_t to,
                  bool chunked, const std::string& path);
    // Waits for ReleaseStalls, a stop or the peer's close; false unless released.
    bool Stall(const net::Socket& s, std::string& pending);
    bool Pause(std::chrono::milliseconds delay);
};

void Server::Impl::AcceptLoop() {
    while (!stopping) {
        for (auto it = connections.begin(); it != connections.end();) {
            if (*it->done) {
                it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
        if (net::WaitReadable(listener, kPollMs) != net::Ready::Yes)
            continue;
        net::Socket s = net::Accept(listener);
        if (!s.Valid())
            continue;
        auto done = std::make_shared<std::atomic<bool>>(false);
        {
            std::lock_guard lock(mutex);
            ++openConnections;
        }
        connections.push_back({std::thread([this, done, sock = std::move(s)]() mutable {
                                   Serve(std::move(sock));
                                   {
                                       std::lock_guard lock(mutex);
                                       --openConnections;
                                   }
                                   changed.notify_all();
                                   *done = true;
                               }),
                               done});
    }
    for (Connection& c : connections)
        c.thread.join();
    connections.clear();
}

void Server::Impl::Serve(net::Socket socket) {
    std::string pending;
    while (!stopping && socket.Valid()) {
        Request request;
        if (!ReadRequest(socket, pending, request))
            return;
        {
            std::lock_guard lock(mutex);
            log.push_back(request);
        }
        changed.notify_all();
        if (!Answer(socket, request, pending))
            return;
    }
}

bool Server::Impl::ReadRequest(const net::Socket& s, std::string& pending, Request& request) {
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > kMaxHeaderBytes || stopping || !ReceiveMore(s, pending))
            return false;
    }
    const std::string head = pending.substr(0, end);
    pending.erase(0, end + 4);

    std::size_t lineEnd = head.find("\r\n");
    request.line = head.substr(0, lineEnd);
    const std::size_t sp1 = request.line.find(' ');
    const std::size_t sp2 = request.line.find(' ', sp1 == std::string::npos ? sp1 : sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos)
        return false;
    request.method = request.line.substr(0, sp1);
    request.target = request.line.substr(sp1 + 1, sp2 - sp1 - 1);
    request.path = request.target.substr(0, request.target.find('?'));
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::size_t v = colon + 1;
        while (v < line.size() && (line[v] == ' ' || line[v] == '\t'))
            ++v;
        request.headers.emplace_back(line.substr(0, colon), line.substr(v));
    }
    // A request body (none is expected) is read and dropped, within reason.
    const std::string length = request.Header("Content-Length");
    if (!length.empty()) {
        const unsigned long long want = std::strtoull(length.c_str(), nullptr, 10);
        if (want > kMaxHeaderBytes)
            return false;
        while (pending.size() < want) {
            if (stopping || !ReceiveMore(s, pending))
                return false;
        }
        pending.erase(0, static_cast<std::size_t>(want));
    }
    return true;
}

namespace {
// What is registered for the exact target wins over what is registered for its path.
template <typename Map> auto FindForRequest(Map& map, const Request& request) {
    auto it = map.find(request.target);
    return it != map.end() ? it : map.find(request.path);
}
} // namespace

FaultSpec Server::Impl::TakeFault(const Request& request) {
    std::lock_guard lock(mutex);
    auto it = FindForRequest(faults, request);
    if (it == faults.end() || it->second.times == 0)
        return {};
    FaultSpec fault = it->second;
    if (it->second.times > 0)
        --it->second.times;
    return fault;
}

Response Server::Impl::Resolve(const Request& request) {
    std::unique_lock lock(mutex);
    auto route = FindForRequest(routes, request);
    if (route != routes.end()) {
        Response r;
        r.status = route->second.status;
        r.contentType = route->second.contentType;
        r.size = route->second.size;
        r.fill = route->second.fill;
        return r;
    }
    const std::vector<Movie> known = movies;
    lock.unlock();

    auto find = [&](const std::string& id) -> const Movie* {
        for (const Movie& m : known)
            if (m.id == id)
                return &m;
        return nullptr;
    };
    if (request.path == "/") {
        std::string page = "<!DOCTYPE html>\r\n<html><head><title>" + std::string(kTitlePrefix) +
                           "Home</title></head>\r\n<body>\r\n<p><a href=\"/links\">Most viewed</a>"
                           "</p>\r\n<ul>\r\n";
        for (const Movie& m : known)
            page += "<li><a href=\"/watch?v=" + m.id + "\">" + m.id + "</a></li>\r\n";
        page += "</ul>\r\n</body></html>\r\n";
        return Page(std::move(page));
    }
    if (request.path == "/links")
        return Page(LinkPage(known));
    if (request.path == "/watch") {
        if (const Movie* m = find(QueryValue(request.target, "v")))
            return Page(WatchPage(*m));
    }
    if (request.path == "/get_video") {
        const Movie* m = find(QueryValue(request.target, "video_id"));
        const std::string t = QueryValue(request.target, "t");
        if (m && (t == m->token + "=" || t == m->token)) {
            Response r;
            r.contentType = "video/x-flv";
            r.size = m->size;
            r.fill = [id = m->id](std::uint64_t offset, char* out, std::size_t count) {
                FillVideoBytes(id, offset, out, count);
            };
            return r;
        }
    }
    return Page(kNotFoundPage, 404);
}

bool Server::Impl::SendAll(const net::Socket& s, const char* data, std::size_t size) {
    while (size > 0) {
        if (stopping)
            return false;
        const long n = net::Send(s, data, size);
        if (n == -2)
            return false;
        if (n == -1) {
            if (net::WaitWritable(s, kPollMs) == net::Ready::Error)
                return false;
            continue;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Server::Impl::SendBody(const net::Socket& s, const Response& r, std::uint64_t from,
                            std::uint64_t to, bool chunked, const std::string& path) {
    std::vector<char> block(kBlock);
    while (from < to) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, to - from));
        r.fill(from, block.data(), n);
        if (chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", n);
            if (!SendAll(s, size, std::strlen(size)))
                return false;
        }
        if (!SendAll(s, block.data(), n))
            return false;
        if (chunked && !SendAll(s, "\r\n", 2))
            return false;
        from += n;
        {
            std::lock_guard lock(mutex);
            sendLog[path].push_back({std::chrono::steady_clock::now(), from});
        }
    }
    return true;
}

bool Server::Impl::Pause(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex);
    return !changed.wait_for(lock, delay, [&] { return stopping.load(); });
}

bool Server::Impl::Stall(const net::Socket& s, std::string& pending) {
    {
        std::lock_guard lock(mutex);
        ++stalled;
    }
    changed.notify_all();
    struct Leave {
        Impl* impl;
        ~Leave() {
            std::lock_guard lock(impl->mutex);
            --impl->stalled;
        }
    } leave{this};
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (changed.wait_for(lock, std::chrono::milliseconds(kPollMs),
                                 [&] { return stallsReleased || stopping.load(); }))
                return !stopping;
        }
        // A client that gives up closes the connection; stop waiting then.
        if (net::WaitReadable(s, 0) == net::Ready::Yes) {
            char buffer[4096];
            const long n = net::Receive(s, buffer, sizeof buffer);
            if (n == 0 || n == -2)
                return false;
            if (n > 0)
                pending.append(buffer, static_cast<std::size_t>(n));
        }
    }
}

bool Server::Impl::Answer(net::Socket& s, const Request& request, std::string& pending) {
    const FaultSpec fault = TakeFault(request);
    Response r;
    if (fault.kind == Fault::Redirect) {
        r = Page("<html><body>Moved</body></html>", fault.status);
        r.location = fault.location;
    } else if (fault.kind == Fault::NotFound) {
        r = Page(kNotFoundPage, 404);
    } else {
        r = Resolve(request);
    }

    // A byte range of a whole body: 206 and the bytes from `first`.
    std::uint64_t first = 0;
    std::uint64_t last = r.size ? r.size - 1 : 0;
    std::string contentRange;
    bool ranges;
    {
        std::lock_guard lock(mutex);
        ranges = rangeSupport;
    }
    if (ranges && r.status == 200 && fault.kind != Fault::Chunked &&
        fault.kind != Fault::NoContentLength && ParseRange(request.Header("Range"), first, last)) {
        // A server that answers with a range of its own choosing (say, rounded
        // to its blocks): a well-formed 206 for bytes the client did not ask for.
        if (fault.kind == Fault::RangeStart)
            first = fault.afterBytes;
        if (first >= r.size) {
            contentRange = "bytes */" + std::to_string(r.size);
            r = Page("", 416);
        } else {
            last = std::min(last, r.size - 1);
            contentRange = "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                           std::to_string(r.size);
            r.status = 206;
            const std::uint64_t offset = first;
            r.size = last - first + 1;
            r.fill = [fill = r.fill, offset](std::uint64_t at, char* out, std::size_t count) {
                fill(offset + at, out, count);
            };
        }
    }

    const bool head = request.method == "HEAD";
    const bool chunked = fault.kind == Fault::Chunked;
    bool keepAlive = !EqualNoCase(request.Header("Connection"), "close") &&
                     request.line.find("HTTP/1.0") == std::string::npos;
    if (fault.kind == Fault::NoContentLength || fault.kind == Fault::EarlyClose ||
        fault.kind == Fault::Reset)
        keepAlive = false;

    std::string header = "HTTP/1.1 " + std::to_string(r.status) + " " + Reason(r.status) + "\r\n";
    header += "Server: standin-site\r\nContent-Type: " + r.contentType + "\r\n";
    if (!r.location.empty())
        header += "Location: " + r.location + "\r\n";
    if (ranges && (r.status == 200 || r.status == 206))
        header += "Accept-Ranges: bytes\r\n";
    if (!contentRange.empty())
        header += "Content-Range: " + contentRange + "\r\n";
    if (chunked)
        header += "Transfer-Encoding: chunked\r\n";
    else if (fault.kind != Fault::NoContentLength)
        header += "Content-Length: " + std::to_string(r.size) + "\r\n";
    header += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (!SendAll(s, header.data(), header.size()))
        return false;
    if (head)
        return keepAlive;

    const std::uint64_t cut = std::min(fault.afterBytes, r.size);
    switch (fault.kind) {
    case Fault::Stall:
        if (!SendBody(s, r, 0, cut, false, request.path) || !Stall(s, pending))
            return false;
        if (!SendBody(s, r, cut, r.size, false, request.path))
            return false;
        break;
    case Fault::Trickle: {
        const std::uint64_t piece = std::max<std::size_t>(fault.pieceBytes, 1);
        for (std::uint64_t at = 0; at < r.size; at += piece) {
            if (at > 0 && !Pause(fault.delay))
                return false;
            if (!SendBody(s, r, at, std::min(r.size, at + piece), false, request.path))
                return false;
        }
        break;
    }
    case Fault::EarlyClose:
        SendBody(s, r, 0, cut, false, request.path);
        net::ShutdownSend(s);
        return false;
    case Fault::Reset:
        SendBody(s, r, 0, cut, false, request.path);
        s.Abort();
        return false;
    default:
        if (!SendBody(s, r, 0, r.size, chunked, request.path))
            return false;
        if (chunked && !SendAll(s, "0\r\n\r\n", 5))
            return false;
    }
    if (!keepAlive)
        net::ShutdownSend(s);
    return keepAlive;
}

Server::Server(std::uint16_t port) : m_impl(std::make_unique<Impl>()) {
    m_impl->listener = net::ListenLoopback(port, m_impl->port);
    if (!m_impl->listener.Valid())
        throw std::runtime_error("standin: cannot listen on 127.0.0.1:" + std::to_string(port));
    m_impl->acceptThread = std::thread([impl = m_impl.get()] { impl->AcceptLoop(); });
}

Server::~Server() {
    m_impl->stopping = true;
    { std::lock_guard lock(m_impl->mutex); }
    m_impl->changed.notify_all();
    m_impl->acceptThread.join();
}

std::uint16_t Server::Port() const {
    return m_impl->port;
}

std::string Server::Root() const {
    return "http://127.0.0.1:" + std::to_string(Port()) + "/";
}

std::wstring Server::WideRoot() const {
    const std::string root = Root();
    return std::wstring(root.begin(), root.end());
}

void Server::AddPage(std::string target, std::string body, std::string contentType, int status) {
    const std::uint64_t size = body.size();
    AddBody(std::move(target), size, StringFiller(std::move(body)), std::move(contentType), status);
}

void Server::AddBody(std::string target, std::uint64_t size, BodyFiller fill,
                     std::string contentType, int status) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->routes[std::move(target)] = {status, std::move(contentType), size, std::move(fill)};
}

void Server::AddMovie(Movie movie) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->movies.push_back(std::move(movie));
}

void Server::AddRedirect(std::string target, std::string location, int status) {
    FaultSpec fault;
    fault.kind = Fault::Redirect;
    fault.location = std::move(location);
    fault.status = status;
    SetFault(std::move(target), std::move(fault));
}

void Server::SetFault(std::string target, FaultSpec fault) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults[std::move(target)] = std::move(fault);
}

void Server::SetRangeSupport(bool on) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->rangeSupport = on;
}

void Server::ClearFaults() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults.clear();
}

void Server::ReleaseStalls() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stallsReleased = true;
    }
    m_impl->changed.notify_all();
}

std::vector<Request> Server::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->log;
}

std::size_t Server::RequestCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->log.size();
}

std::size_t Server::RequestCount(std::string_view path) const {
    std::lock_guard lock(m_impl->mutex);
    return static_cast<std::size_t>(std::count_if(
        m_impl->log.begin(), m_impl->log.end(), [&](const Request& r) { return r.path == path; }));
}

void Server::ClearRequests() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->log.clear();
    m_impl->sendLog.clear();
}

bool Server::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, timeout, [&] { return m_impl->log.size() >= count; });
}

bool Server::WaitForStalls(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, timeout, [&] { return m_impl->stalled >= count; });
}

std::vector<SentMark> Server::SendLog(std::string_view path) const {
    std::lock_guard lock(m_impl->mutex);
    auto it = m_impl->sendLog.find(path);
    return it == m_impl->sendLog.end() ? std::vector<SentMark>() : it->second;
}

std::size_t Server::OpenConnections() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->openConnections;
}

} // namespace standin
