// Figures for the video page client: harvesting a page of 10,000 distinct
// watch links (ours and the plain step-by-step form), and reading a 1 MB page
// from the loopback stand-in site through WinInet (ours, and with one 50-byte
// read call per piece).
#include "framework/codepage.h"
#include "framework/internet.h"
#include "site/extract.h"
#include "site/internet_opener.h"
#include "site/page_reader.h"
#include "standin/server.h"
#include "tests/site/plain_rules.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

double MsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The median of `runs` timings.
double Median(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(MsOf(work));
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

std::wstring LinkPage(int links) {
    std::wstring page = L"<html><head><title>Standin - Most viewed</title></head><body>\r\n";
    for (int i = 0; i < links; ++i) {
        wchar_t id[16];
        std::swprintf(id, 16, L"v%010d", i * 7919 % 100000000);
        page += L"<div class=\"video\"><a href=\"/watch?v=" + std::wstring(id) +
                L"&feature=channel\">A movie with an ordinary title</a></div>\r\n";
    }
    return page + L"</body></html>\r\n";
}

// The page read as it is done without a buffer: one read call of 50 bytes per
// piece, each piece decoded on its own.
std::wstring ReadIn50ByteCalls(const std::wstring& url) {
    CInternetSession session(kPageAgent);
    std::unique_ptr<CInternetFile> file = session.OpenURL(url);
    std::wstring text;
    char piece[50];
    while (std::uint32_t n = file->Read(piece, sizeof piece)) {
        const void* zero = std::memchr(piece, 0, n);
        const std::size_t keep = zero ? static_cast<const char*>(zero) - piece : n;
        AppendAnsiAsWide(text, piece, keep, AnsiSource::Thread);
    }
    return text;
}

} // namespace

int main() {
    const std::wstring root = L"http://127.0.0.1:8080/";
    const std::wstring page = LinkPage(10000);
    std::vector<std::wstring> fast, plain;
    const double harvest = Median(5, [&] { WatchLinksFromPage(page, root, fast); });
    const double harvestPlain = MsOf([&] { PlainWatchLinks(page, root, plain); });
    if (fast != plain || fast.size() != 10000) {
        std::fprintf(stderr, "bench_site: harvest results differ\n");
        return 1;
    }
    std::printf("harvest_10000_links_ms: %.2f ms\n", harvest);
    std::printf("harvest_10000_links_plain_ms: %.1f ms\n", harvestPlain);
    std::fflush(stdout);

    standin::Server site;
    std::string body;
    while (body.size() < 1000000)
        body += "<p>An ordinary line of a large page, with a link to <a href=\"/watch?v="
                "Hq7bT2xLp0A\">a movie</a>.</p>\r\n";
    body.resize(1000000);
    site.AddPage("/big", body);
    const std::wstring url = site.WideRoot() + L"big";
    CInternetPageOpener opener;
    std::wstring text, text50;
    ReadPageText(opener, url, text); // warm the connection
    const double read = Median(5, [&] { ReadPageText(opener, url, text); });
    const double read50 = Median(3, [&] { text50 = ReadIn50ByteCalls(url); });
    if (text != text50 || text.size() != body.size()) {
        std::fprintf(stderr, "bench_site: page texts differ\n");
        return 1;
    }
    std::printf("read_page_1mb_ms: %.2f ms\n", read);
    std::printf("read_page_1mb_50byte_calls_ms: %.1f ms\n", read50);
    return 0;
}
