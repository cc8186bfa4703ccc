// The watch-page rules on page texts: markers, offsets, lengths and the title.
#include "site/extract.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kRoot = L"http://site.test/";
const std::wstring kToken = L"TTTTTTTTTTttttttttttTTTTTTTTTTttttttttttTTTT"; // 44
const std::wstring kIdPart = L"\"video_id\": \"ABCDEFGHIJK\"";
const std::wstring kTokenPart = L"\"t\": \"" + kToken + L"\"";

struct Case {
    const char* name;
    std::wstring page;
    std::wstring title;
    std::wstring url;
};

std::wstring Url(const std::wstring& id, const std::wstring& token) {
    return kRoot + L"get_video?video_id=" + id + L"&t=" + token + L"%3d";
}

TEST(VideoUrlFromPage, FollowsTheMarkerRules) {
    const std::vector<Case> cases = {
        {"whole page", L"<html><title>0123456789abc</title>" + kIdPart + L", " + kTokenPart, L"abc",
         Url(L"ABCDEFGHIJK", kToken)},
        {"title only the prefix", L"<title>0123456789</title>" + kTokenPart, L"", Url(L"", kToken)},
        {"title one past the prefix", L"<title>0123456789x</title>", L"x", L""},
        {"end tag before start tag", L"</title><title>0123456789abcdefgh" + kTokenPart, L"",
         Url(L"", kToken)},
        {"no end tag", L"<title>0123456789abcdefgh", L"", L""},
        {"title kept as it is", L"<title>0123456789 a&amp;b\r\n</title>", L" a&amp;b\r\n", L""},
        {"second title ignored", L"<title>0123456789one</title><title>0123456789two</title>",
         L"one", L""},
        {"short id at the end", kTokenPart + L"\"video_id\": \"ABC", L"", Url(L"ABC", kToken)},
        {"id marker ends the page", kTokenPart + L"\"video_id\": \"", L"", Url(L"", kToken)},
        {"id taken by position", kTokenPart + L"\"video_id\":\"ABCDEFGHIJKLM", L"",
         Url(L"BCDEFGHIJKL", kToken)},
        {"short token", kIdPart + L"\"t\": \"abc", L"", Url(L"ABCDEFGHIJK", L"abc")},
        {"token marker ends the page", kIdPart + L"\"t\": \"", L"", L""},
        {"token marker three from the end", kIdPart + L"\"t\"abc", L"", L""},
        {"earlier t used", L"\"t\": \"early-token\", " + kIdPart + L", " + kTokenPart, L"",
         Url(L"ABCDEFGHIJK", L"early-token\", \"video_id\": \"ABCDEFGHIJK\", \"t\"")},
        {"second id ignored", kIdPart + L"\"video_id\": \"ZZZZZZZZZZZ\"" + kTokenPart, L"",
         Url(L"ABCDEFGHIJK", kToken)},
        {"markers are case-sensitive", L"\"Video_id\": \"ABCDEFGHIJK\", \"T\": \"" + kToken, L"",
         L""},
        {"no token, id only", kIdPart, L"", L""},
        {"empty page", L"", L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring title = L"stale";
        EXPECT_EQ(VideoUrlFromPage(c.page, kRoot, title), c.url) << c.name;
        EXPECT_EQ(title, c.title) << c.name;
    }
}

TEST(VideoUrlFromPage, RootIsThePrefixAsGiven) {
    std::wstring title;
    EXPECT_EQ(VideoUrlFromPage(kTokenPart, L"", title),
              L"get_video?video_id=&t=" + kToken + L"%3d");
    EXPECT_EQ(VideoUrlFromPage(kTokenPart, L"http://127.0.0.1:8080/", title),
              L"http://127.0.0.1:8080/get_video?video_id=&t=" + kToken + L"%3d");
}

} // namespace
