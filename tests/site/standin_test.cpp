// The stand-in video site over raw sockets: its pages satisfy the page rules,
// video bodies are exact, and each fault looks on the wire as it should.
#include "site/extract.h"
#include "standin/server.h"
#include "standin/socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

namespace {

using namespace std::chrono_literals;
using standin::Fault;
using standin::FaultSpec;

struct Reply {
    int status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    bool reset = false; // the connection ended in an error, not an orderly close
};

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Sends one request with "Connection: close" and reads to the end of the
// connection (or the deadline).
Reply Get(std::uint16_t port, const std::string& target, const std::string& extra = "",
          const std::string& method = "GET") {
    namespace net = standin::net;
    standin::net::Startup startup;
    net::Socket s = net::ConnectLoopback(port);
    EXPECT_TRUE(s.Valid());
    const std::string request = method + " " + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: " + "raw-test\r\n" +
                                extra + "Connection: close\r\n\r\n";
    for (std::size_t at = 0; at < request.size();) {
        const long n = net::Send(s, request.data() + at, request.size() - at);
        if (n == -2)
            break;
        if (n > 0)
            at += static_cast<std::size_t>(n);
        else
            net::WaitWritable(s, 100);
    }
    Reply reply;
    std::string raw;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (net::WaitReadable(s, 100) != net::Ready::Yes)
            continue;
        char buffer[65536];
        const long n = net::Receive(s, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n == -2) {
            reply.reset = true;
            break;
        }
        if (n > 0)
            raw.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos)
        return reply;
    reply.status = std::atoi(raw.c_str() + raw.find(' ') + 1);
    for (std::size_t at = raw.find("\r\n") + 2; at < end;) {
        const std::size_t eol = raw.find("\r\n", at);
        const std::string line = raw.substr(at, eol - at);
        const std::size_t colon = line.find(':');
        reply.headers[Lower(line.substr(0, colon))] = line.substr(colon + 2);
        at = eol + 2;
    }
    reply.body = raw.substr(end + 4);
    if (reply.headers["transfer-encoding"] == "chunked") {
        std::string body, rest = reply.body;
        for (;;) {
            const std::size_t eol = rest.find("\r\n");
            const std::size_t size = std::strtoul(rest.substr(0, eol).c_str(), nullptr, 16);
            if (eol == std::string::npos || size == 0)
                break;
            body += rest.substr(eol + 2, size);
            rest = rest.substr(eol + 2 + size + 2);
        }
        reply.body = body;
    }
    return reply;
}

std::wstring Widen(const std::string& bytes) {
    std::wstring text;
    for (unsigned char c : bytes)
        text += static_cast<wchar_t>(c);
    return text;
}

TEST(StandinSite, WatchPagesSatisfyThePageRules) {
    standin::Server site;
    for (const standin::Movie& m : standin::Catalogue()) {
        const Reply r = Get(site.Port(), "/watch?v=" + m.id + "&feature=related");
        ASSERT_EQ(r.status, 200) << m.id;
        std::wstring title;
        EXPECT_EQ(VideoUrlFromPage(Widen(r.body), site.WideRoot(), title),
                  site.WideRoot() + Widen(standin::VideoTarget(m)));
        EXPECT_EQ(title, Widen(m.title)); // UTF-8 bytes, one character each
    }
    EXPECT_EQ(Get(site.Port(), "/watch?v=unknownid00").status, 404);
}

TEST(StandinSite, LinkPageHarvestsToItsTargets) {
    standin::Server site;
    const Reply r = Get(site.Port(), "/links");
    std::vector<std::wstring> links;
    WatchLinksFromPage(Widen(r.body), L"R/", links);
    std::vector<std::wstring> expected;
    for (const std::string& t : standin::LinkPageTargets(standin::Catalogue()))
        expected.push_back(L"R/" + Widen(t));
    EXPECT_EQ(links, expected);
    EXPECT_EQ(links.size(), standin::Catalogue().size());
}

TEST(StandinSite, ShowcaseMoviesAreListedAfterTheCatalogueAndServedLikeThem) {
    standin::Server site;
    standin::AddShowcase(site);
    std::vector<standin::Movie> all = standin::Catalogue();
    for (const standin::Movie& m : standin::ShowcaseMovies()) {
        all.push_back(m);
        const Reply page = Get(site.Port(), "/watch?v=" + m.id);
        std::wstring title;
        EXPECT_EQ(VideoUrlFromPage(Widen(page.body), site.WideRoot(), title),
                  site.WideRoot() + Widen(standin::VideoTarget(m)));
        EXPECT_EQ(title, Widen(m.title));
        // Large enough to take seconds at the capped rate; the head only.
        Reply head = Get(site.Port(), "/" + standin::VideoTarget(m), "", "HEAD");
        EXPECT_EQ(head.status, 200);
        EXPECT_EQ(head.headers["content-length"], std::to_string(m.size));
        EXPECT_GT(m.size, 8 * standin::ShowcaseRate().pieceBytes *
                              (1000 / standin::ShowcaseRate().delay.count()));
    }
    std::vector<std::wstring> links;
    WatchLinksFromPage(Widen(Get(site.Port(), "/links").body), L"R/", links);
    std::vector<std::wstring> expected;
    for (const std::string& t : standin::LinkPageTargets(all))
        expected.push_back(L"R/" + Widen(t));
    EXPECT_EQ(links, expected);
}

TEST(StandinSite, VideoBodiesAreExact) {
    standin::Server site;
    const standin::Movie& m = standin::Catalogue()[1];
    Reply r = Get(site.Port(), "/" + standin::VideoTarget(m));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers["content-length"], std::to_string(m.size));
    EXPECT_EQ(r.body, standin::VideoBytes(m.id, m.size));
    EXPECT_EQ(r.body.substr(0, 4), "FLV\x01");
    // Any piece of the file is the same bytes as the whole file there.
    char piece[100];
    standin::FillVideoBytes(m.id, 5, piece, sizeof piece);
    EXPECT_EQ(std::string(piece, sizeof piece), r.body.substr(5, 100));
    EXPECT_EQ(Get(site.Port(), "/get_video?video_id=" + m.id + "&t=wrong%3d").status, 404);
}

TEST(StandinSite, ByteRangesAsAFileServerAnswersThemAndSwitchedOff) {
    standin::Server site;
    const std::string body = standin::VideoBytes("ranges", 1000);
    site.AddPage("/v", body, "video/x-flv");
    struct Case {
        std::string range;
        int status;
        std::string contentRange;
        std::string body;
    } cases[] = {
        {"bytes=400-", 206, "bytes 400-999/1000", body.substr(400)},
        {"bytes=10-19", 206, "bytes 10-19/1000", body.substr(10, 10)},
        {"bytes=990-5000", 206, "bytes 990-999/1000", body.substr(990)},
        {"bytes=1000-", 416, "bytes */1000", ""},
        {"bytes=-5", 200, "", body}, // forms the site does not serve: the whole body
        {"items=1-2", 200, "", body},
    };
    for (const Case& c : cases) {
        Reply r = Get(site.Port(), "/v", "Range: " + c.range + "\r\n");
        EXPECT_EQ(r.status, c.status) << c.range;
        EXPECT_EQ(r.headers["content-range"], c.contentRange) << c.range;
        EXPECT_EQ(r.headers["content-length"], std::to_string(c.body.size())) << c.range;
        EXPECT_EQ(r.body, c.body) << c.range;
    }
    // A fault counts from the range's first byte.
    FaultSpec reset;
    reset.kind = Fault::Reset;
    reset.afterBytes = 100;
    reset.times = 1;
    site.SetFault("/v", reset);
    Reply cut = Get(site.Port(), "/v", "Range: bytes=500-\r\n");
    EXPECT_EQ(cut.status, 206);
    EXPECT_EQ(cut.body, body.substr(500, 100));
    site.SetRangeSupport(false);
    Reply whole = Get(site.Port(), "/v", "Range: bytes=400-\r\n");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.headers.count("accept-ranges"), 0u);
    EXPECT_EQ(whole.body, body);
}

TEST(StandinSite, RegisteredPagesAndTheRequestLog) {
    standin::Server site;
    site.AddPage("/mine", std::string("a\0b", 3), "text/plain");
    site.AddPage("/mine?x=1", "exact target wins");
    EXPECT_EQ(Get(site.Port(), "/mine?y=2").body, std::string("a\0b", 3));
    EXPECT_EQ(Get(site.Port(), "/mine?x=1").body, "exact target wins");
    ASSERT_TRUE(site.WaitForRequests(2, 10s));
    const std::vector<standin::Request> log = site.Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].line, "GET /mine?y=2 HTTP/1.1");
    EXPECT_EQ(log[0].path, "/mine");
    EXPECT_EQ(log[0].Header("user-agent"), "raw-test");
    EXPECT_FALSE(log[0].HasHeader("Cookie"));
    EXPECT_EQ(site.RequestCount("/mine"), 2u);
    site.ClearRequests();
    EXPECT_EQ(site.RequestCount(), 0u);
}

TEST(StandinSite, FaultsOnTheWire) {
    standin::Server site;
    standin::Server other;
    other.AddPage("/there", "second server");
    const std::string body = standin::VideoBytes("fault", 200000);
    site.AddPage("/b", body);

    site.AddRedirect("/moved", other.Root() + "there");
    Reply r = Get(site.Port(), "/moved");
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.headers["location"], other.Root() + "there");

    struct Case {
        Fault kind;
        int status;
        bool contentLength;
        std::size_t bodyBytes;
    };
    const Case cases[] = {
        {Fault::NotFound, 404, true, 0},
        {Fault::NoContentLength, 200, false, body.size()},
        {Fault::Chunked, 200, false, body.size()},
        {Fault::Trickle, 200, true, body.size()},
        {Fault::EarlyClose, 200, true, 1000},
    };
    for (const Case& c : cases) {
        FaultSpec f;
        f.kind = c.kind;
        f.afterBytes = 1000;
        f.pieceBytes = 50000;
        f.delay = 1ms;
        site.SetFault("/b", f);
        r = Get(site.Port(), "/b");
        EXPECT_EQ(r.status, c.status) << int(c.kind);
        EXPECT_EQ(r.headers.count("content-length") == 1, c.contentLength) << int(c.kind);
        if (c.kind != Fault::NotFound) {
            EXPECT_EQ(r.body, body.substr(0, c.bodyBytes)) << int(c.kind);
            if (c.contentLength) {
                EXPECT_EQ(r.headers["content-length"], std::to_string(body.size()));
            }
        }
    }
    site.SetFault("/b", {Fault::Reset, "", 302, 1000});
    r = Get(site.Port(), "/b");
    EXPECT_LT(r.body.size(), body.size());

    // A fault for a number of requests only.
    FaultSpec once;
    once.kind = Fault::NotFound;
    once.times = 1;
    site.SetFault("/b", once);
    EXPECT_EQ(Get(site.Port(), "/b").status, 404);
    EXPECT_EQ(Get(site.Port(), "/b").body, body);
}

TEST(StandinSite, StallWaitsForRelease) {
    standin::Server site;
    site.AddPage("/s", std::string(5000, 's'));
    site.SetFault("/s", {Fault::Stall, "", 302, 100});
    std::atomic<bool> done{false};
    Reply r;
    std::thread client([&] {
        r = Get(site.Port(), "/s");
        done = true;
    });
    ASSERT_TRUE(site.WaitForStalls(1, 10s));
    EXPECT_FALSE(done.load());
    site.ReleaseStalls();
    client.join();
    EXPECT_EQ(r.body, std::string(5000, 's'));
}

TEST(StandinSite, StopEndsAStalledResponse) {
    auto site = std::make_unique<standin::Server>();
    site->AddPage("/s", std::string(5000, 's'));
    site->SetFault("/s", {Fault::Stall, "", 302, 100});
    Reply r;
    std::thread client([&] { r = Get(site->Port(), "/s"); });
    ASSERT_TRUE(site->WaitForStalls(1, 10s));
    site.reset();
    client.join();
    EXPECT_EQ(r.body, std::string(100, 's'));
}

TEST(StandinSite, LargeBodiesStream) {
    standin::Server site;
    standin::Movie big{"BigMovie001", std::string(44, 'B'), "Big", 256ull << 20};
    site.AddMovie(big);
    namespace net = standin::net;
    net::Startup startup;
    net::Socket s = net::ConnectLoopback(site.Port());
    const std::string request =
        "GET /" + standin::VideoTarget(big) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(net::Send(s, request.data(), request.size()), long(request.size()));
    std::uint64_t received = 0;
    std::string head;
    std::vector<char> buffer(1 << 20);
    std::uint64_t total = 0;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (net::WaitReadable(s, 100) != net::Ready::Yes)
            continue;
        const long n = net::Receive(s, buffer.data(), buffer.size());
        if (n <= 0 && n != -1)
            break;
        if (n > 0) {
            received += static_cast<std::uint64_t>(n);
            if (head.size() < 200)
                head.append(buffer.data(), static_cast<std::size_t>(std::min<long>(n, 200)));
            const std::size_t end = head.find("\r\n\r\n");
            if (end != std::string::npos && total == 0)
                total = end + 4 + big.size;
            if (total && received >= total)
                break;
        }
    }
    EXPECT_NE(head.find("Content-Length: 268435456"), std::string::npos);
    EXPECT_EQ(received, total);
}

} // namespace
