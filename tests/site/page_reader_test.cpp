// The page read: pieces, zero bytes, code page, read sizes, failures and the
// size cap; and the reader and harvester on top of it.
#include "site/page_reader.h"
#include "site/watch_page_reader.h"
#include "tests/site/fake_opener.h"
#include "tests/site/plain_rules.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::wstring Read(FakeOpener& opener, const std::wstring& url) {
    std::wstring text = L"stale";
    EXPECT_TRUE(ReadPageText(opener, url, text));
    EXPECT_EQ(opener.live, 0);
    return text;
}

TEST(ReadPageText, ZeroByteEndsOnlyItsPiece) {
    FakeOpener opener;
    // Piece 1: ten 'a', a zero, 39 'b' (dropped); piece 2: 'c' x 50; piece 3: "d\0e".
    opener.Page(L"u", std::string(10, 'a') + '\0' + std::string(39, 'b') + std::string(50, 'c') +
                          std::string("d\0e", 3));
    EXPECT_EQ(Read(opener, L"u"), std::wstring(10, L'a') + std::wstring(50, L'c') + L"d");
}

TEST(ReadPageText, BytesBecomeCharactersOneByOne) {
    FakeOpener opener;
    // UTF-8 e-acute and an en dash come back one character per byte (1252),
    // line ends stay.
    opener.Page(L"u", "Caf\xC3\xA9 \xE2\x80\x93\r\nx\n");
    EXPECT_EQ(Read(opener, L"u"), L"Caf\u00C3\u00A9 \u00E2\u20AC\u201C\r\nx\n");
}

TEST(ReadPageText, SameTextWhateverTheReadSizes) {
    // Pieces are cut from the body, not from what one read returned.
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::string body(static_cast<std::size_t>(rng() % 700), '\0');
        for (char& c : body)
            c = static_cast<char>(rng() % 8 == 0 ? 0 : rng() % 256);
        std::vector<std::size_t> portions;
        for (int i = 0; i < 5; ++i)
            portions.push_back(1 + rng() % 120);
        FakeOpener opener;
        opener.Page(L"u", body, portions);
        ASSERT_EQ(Read(opener, L"u"), PlainPageText(body)) << "round " << round;
    }
}

TEST(PageTextDecoder, PieceWiseAndRunWiseAgreeOnASingleByteCodePage) {
    std::mt19937 rng(9);
    for (int round = 0; round < 200; ++round) {
        std::string body(static_cast<std::size_t>(rng() % 2000), '\0');
        for (char& c : body)
            c = static_cast<char>(rng() % 30 == 0 ? 0 : rng() % 256);
        CPageTextDecoder pieces(false), runs(true);
        for (std::size_t at = 0; at < body.size();) {
            const std::size_t n = std::min<std::size_t>(body.size() - at, rng() % 300);
            pieces.Append(body.data() + at, n);
            runs.Append(body.data() + at, n);
            at += n;
        }
        ASSERT_EQ(pieces.Finish(), runs.Finish()) << "round " << round;
    }
}

TEST(ReadPageText, NoStreamGivesNoText) {
    FakeOpener opener;
    std::wstring text = L"stale";
    EXPECT_FALSE(ReadPageText(opener, L"unknown:thing", text));
    EXPECT_EQ(text, L"");
}

TEST(ReadPageText, ReadErrorPropagatesAndClosesTheStream) {
    FakeOpener opener;
    opener.Page(L"u", std::string(500, 'x'), {100}, 300);
    std::wstring text;
    try {
        ReadPageText(opener, L"u", text);
        FAIL() << "no error";
    } catch (const CInternetException& e) {
        EXPECT_EQ(e.m_dwError, 12030u);
    }
    EXPECT_EQ(opener.live, 0);
}

TEST(ReadPageText, BodyOverTheCapIsAnError) {
    // Zero bytes keep the text empty, so only the count of body bytes grows.
    const auto zeros = [](std::uint64_t, char* out, std::size_t n) { std::memset(out, 0, n); };
    FakeOpener opener;
    opener.Body(L"at-cap", kMaxPageBytes, zeros);
    opener.Body(L"over-cap", kMaxPageBytes + 1, zeros);
    EXPECT_EQ(Read(opener, L"at-cap"), L"");
    std::wstring text;
    try {
        ReadPageText(opener, L"over-cap", text);
        FAIL() << "no error";
    } catch (const CException& e) {
        EXPECT_EQ(e.GetErrorMessage(), kPageTooLarge);
    }
    EXPECT_EQ(opener.live, 0);
}

TEST(WatchPageReader, ReadsTheWatchPage) {
    auto opener = std::make_shared<FakeOpener>();
    const std::string token(44, 'T');
    // The markers straddle the 50-byte pieces.
    opener->Page(L"w", std::string(40, ' ') + "\"video_id\": \"AbCdEfGhIjK\"" +
                           std::string(35, '.') + "\"t\": \"" + token +
                           "\"<title>0123456789Hi</title>");
    CWatchPageReader reader(opener, L"http://root/");
    std::wstring title = L"stale";
    EXPECT_EQ(reader.GetVideoUrl(L"w", title),
              L"http://root/get_video?video_id=AbCdEfGhIjK&t=" + std::wstring(44, L'T') + L"%3d");
    EXPECT_EQ(title, L"Hi");
}

TEST(WatchPageReader, NoStreamGivesEmptyResults) {
    auto opener = std::make_shared<FakeOpener>();
    CWatchPageReader reader(opener, L"http://root/");
    std::wstring title = L"stale";
    EXPECT_EQ(reader.GetVideoUrl(L"gopher:x", title), L"");
    EXPECT_EQ(title, L"");
    std::vector<std::wstring> links = {L"stale"};
    reader.GetWatchLinks(L"gopher:x", links);
    EXPECT_TRUE(links.empty());
}

TEST(WatchPageReader, ErrorsLeaveTitleAndLinksEmpty) {
    auto opener = std::make_shared<FakeOpener>();
    opener->Page(L"u", "<title>0123456789Hi</title>\"/watch?v=AAAAAAAAAAA\" ", {20}, 20);
    CWatchPageReader reader(opener, L"http://root/");
    std::wstring title = L"stale";
    EXPECT_THROW(reader.GetVideoUrl(L"u", title), CInternetException);
    EXPECT_EQ(title, L"");
    std::vector<std::wstring> links = {L"stale"};
    EXPECT_THROW(reader.GetWatchLinks(L"u", links), CInternetException);
    EXPECT_TRUE(links.empty());
}

TEST(WatchPageReader, HarvestsALinkPage) {
    auto opener = std::make_shared<FakeOpener>();
    opener->Page(L"p",
                 "<a href=\"/watch?v=AAAAAAAAAAA\">a</a> <a href=\"/watch?v=AAAAAAAAAAA&x=1\">"
                 "<a href=\"/watch?v=BBBBBBBBBBB&amp;f=2\">",
                 {7, 50, 3});
    CWatchPageReader reader(opener, L"http://root/");
    std::vector<std::wstring> links;
    reader.GetWatchLinks(L"p", links);
    EXPECT_EQ(links, (std::vector<std::wstring>{L"http://root/watch?v=AAAAAAAAAAA",
                                                L"http://root/watch?v=BBBBBBBBBBB&amp;f=2"}));
}

} // namespace
