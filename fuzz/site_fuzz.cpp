// Feeds arbitrary page bytes to the page rules. The fast harvester must give
// exactly what the plain step-by-step harvester gives; the page decoding must
// not depend on how the body was portioned; the watch-page rule must hold its
// shape. The first byte picks the web root and the read portions.
#include "site/extract.h"
#include "site/page_reader.h"
#include "tests/site/plain_rules.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const std::wstring roots[] = {L"http://www.site.test/", L"", L"\"/watch?v=",
                                         L"http://abcdefghijk/"};
    const std::uint8_t control = data[0];
    const std::wstring& root = roots[control % 4];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t count = size - 1;

    // Decoding: pieces of the body, whatever the read portions.
    const std::string body(bytes, count);
    CPageTextDecoder decoder(control & 0x80);
    const std::size_t portion = 1 + (control >> 2) % 97;
    for (std::size_t at = 0; at < count; at += portion)
        decoder.Append(bytes + at, std::min(portion, count - at));
    const std::wstring page = decoder.Finish();
    if (page != PlainPageText(body))
        std::abort();

    // The rules read the raw widened bytes, zero bytes and all.
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i)
        text += Cp1252ToWide(static_cast<unsigned char>(bytes[i]));

    std::wstring title = L"stale";
    const std::wstring url = VideoUrlFromPage(text, root, title);
    if (!url.empty() && (url.compare(0, root.size(), root) != 0 || url.size() < 3 ||
                         url.compare(url.size() - 3, 3, L"%3d") != 0))
        std::abort();
    if (title.size() > text.size())
        std::abort();

    std::vector<std::wstring> fast, plain;
    WatchLinksFromPage(text, root, fast);
    PlainWatchLinks(text, root, plain);
    if (fast != plain)
        std::abort();
    return 0;
}
