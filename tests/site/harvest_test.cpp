// The link harvester: the rules on chosen pages, and the fast form compared
// with the plain step-by-step form on generated pages.
#include "site/extract.h"
#include "tests/site/plain_rules.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const std::wstring kRoot = L"http://site.test/";

std::vector<std::wstring> Harvest(const std::wstring& page, const std::wstring& root = kRoot) {
    std::vector<std::wstring> links = {L"stale"};
    WatchLinksFromPage(page, root, links);
    return links;
}

TEST(WatchLinksFromPage, FollowsTheLinkRules) {
    struct Case {
        const char* name;
        std::wstring page;
        std::vector<std::wstring> links;
    };
    const std::vector<Case> cases = {
        {"repeats with other parameters",
         L"<a href=\"/watch?v=AAAAAAAAAAA&feature=one\">x</a>"
         L"<a href=\"/watch?v=AAAAAAAAAAA\">y</a><a href=\"/watch?v=AAAAAAAAAAA&amp;b=2\">z</a>",
         {kRoot + L"watch?v=AAAAAAAAAAA&feature=one"}},
        {"order of first appearance",
         L"\"/watch?v=BBBBBBBBBBB\" \"/watch?v=AAAAAAAAAAA\" \"/watch?v=BBBBBBBBBBB\" "
         L"\"/watch?v=CCCCCCCCCCC\" ",
         {kRoot + L"watch?v=BBBBBBBBBBB", kRoot + L"watch?v=AAAAAAAAAAA",
          kRoot + L"watch?v=CCCCCCCCCCC"}},
        {"single quotes, absolute, other case",
         L"'/watch?v=AAAAAAAAAAA' \"http://x/watch?v=BBBBBBBBBBB\" \"/Watch?v=CCCCCCCCCCC\" "
         L"\"/WATCH?V=DDDDDDDDDDD\" \"watch?v=EEEEEEEEEEE\"",
         {}},
        {"entities kept",
         L"\"/watch?v=AAAAAAAAAAA&amp;feature=related\">",
         {kRoot + L"watch?v=AAAAAAAAAAA&amp;feature=related"}},
        {"adjacent link is skipped",
         L"\"/watch?v=AAAAAAAAAAA\"\"/watch?v=BBBBBBBBBBB\" ",
         {kRoot + L"watch?v=AAAAAAAAAAA"}},
        {"one character between links",
         L"\"/watch?v=AAAAAAAAAAA\">\"/watch?v=BBBBBBBBBBB\" ",
         {kRoot + L"watch?v=AAAAAAAAAAA", kRoot + L"watch?v=BBBBBBBBBBB"}},
        // The id runs on past the closing quote: it takes in the quote, which no
        // address holds, so a link with a short id is never a repeat.
        {"short id",
         L"\"/watch?v=abc\"> x yz \"/watch?v=abc\"> x yz ",
         {kRoot + L"watch?v=abc", kRoot + L"watch?v=abc"}},
        {"id found in an earlier address's parameters",
         L"\"/watch?v=AAAAAAAAAAA&x=BBBBBBBBBBB\" \"/watch?v=BBBBBBBBBBB\" ",
         {kRoot + L"watch?v=AAAAAAAAAAA&x=BBBBBBBBBBB"}},
        {"short id at the end of the page",
         L"\"/watch?v=AAAAAAAAAAA\" \"/watch?v=AAA\"",
         {kRoot + L"watch?v=AAAAAAAAAAA", kRoot + L"watch?v=AAA"}},
        {"no closing quote", L"\"/watch?v=AAAAAAAAAAA", {}},
        {"closing quote ends the page",
         L"\"/watch?v=AAAAAAAAAAA\"",
         {kRoot + L"watch?v=AAAAAAAAAAA"}},
        {"empty page", L"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Harvest(c.page), c.links) << c.name;
}

TEST(WatchLinksFromPage, RepeatTestSeesTheRoot) {
    // An id that occurs inside the root repeats as soon as any address exists.
    const std::wstring root = L"http://abcdefghijk.test/";
    EXPECT_EQ(
        Harvest(L"\"/watch?v=abcdefghijk\" \"/watch?v=ZZZZZZZZZZZ\" \"/watch?v=abcdefghijk\" ",
                root),
        (std::vector<std::wstring>{root + L"watch?v=abcdefghijk", root + L"watch?v=ZZZZZZZZZZZ"}));
    EXPECT_EQ(Harvest(L"\"/watch?v=ZZZZZZZZZZZ\" \"/watch?v=abcdefghijk\" ", root),
              (std::vector<std::wstring>{root + L"watch?v=ZZZZZZZZZZZ"}));
    // An id that spans the end of the root and the start of the link text.
    EXPECT_EQ(Harvest(L"\"/watch?v=ZZZZZZZZZZZ\" \"/watch?v=test/watch?\" ", root),
              (std::vector<std::wstring>{root + L"watch?v=ZZZZZZZZZZZ"}));
}

// Pages built from the pieces that decide the rules, with few distinct ids so
// that repeats, overlaps and short ids are common.
std::wstring GeneratedPage(std::mt19937& rng) {
    static const std::vector<std::wstring> pieces = {
        L"\"/watch?v=", L"\"/watch?v=", L"\"/watch?v=",
        L"\"",          L"\"",          L">",
        L" ",           L"&amp;",       L"&feature=related",
        L"'/watch?v=",  L"\"/Watch?v=", L"\"http://h/watch?v=",
        L"ab",          L"abcdefghijk", L"bcdefghijka",
        L"test/",       L"/",           L"<a href=",
        L"\r\n",        L"\x00e9",      L"watch?v="};
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 120);
    std::uniform_int_distribution<int> letter(0, 3);
    std::wstring page;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) {
        if (letter(rng) == 0)
            page += static_cast<wchar_t>(L'a' + letter(rng));
        else
            page += pieces[pick(rng)];
    }
    return page;
}

TEST(WatchLinksFromPage, SameAsThePlainStepsOnGeneratedPages) {
    std::mt19937 rng(20240611);
    const std::vector<std::wstring> roots = {
        kRoot,     L"", L"/", L"http://abcdefghijk.test/", L"ab", L"test/watch?v=abcdefghijk/",
        L"q\"> a/"};
    for (int i = 0; i < 4000; ++i) {
        const std::wstring page = GeneratedPage(rng);
        const std::wstring& root = roots[static_cast<std::size_t>(i) % roots.size()];
        std::vector<std::wstring> fast, plain;
        WatchLinksFromPage(page, root, fast);
        PlainWatchLinks(page, root, plain);
        ASSERT_EQ(fast, plain) << "page " << i;
    }
}

TEST(WatchLinksFromPage, SameAsThePlainStepsOnALargePage) {
    // Thousands of distinct ids with repeats scattered behind them.
    std::mt19937 rng(7);
    std::wstring page;
    for (int i = 0; i < 3000; ++i) {
        wchar_t id[12];
        swprintf(id, 12, L"%011d", static_cast<int>(rng() % 2500));
        page += L"<a href=\"/watch?v=" + std::wstring(id) + (i % 3 ? L"&feature=x" : L"") +
                L"\">t</a>\r\n";
    }
    std::vector<std::wstring> fast, plain;
    WatchLinksFromPage(page, kRoot, fast);
    PlainWatchLinks(page, kRoot, plain);
    EXPECT_EQ(fast, plain);
    EXPECT_GT(fast.size(), 1500u);
}

} // namespace
