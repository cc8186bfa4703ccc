// The video page client through real WinInet against the stand-in site.
#include "framework/internet.h"
#include "site/internet_opener.h"
#include "site/watch_page_reader.h"
#include "standin/server.h"
#include "tests/site/plain_rules.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::wstring Widen(const std::string& bytes) {
    std::wstring text;
    AppendAnsiAsWide(text, bytes.data(), bytes.size(), AnsiSource::Thread);
    return text;
}

class InternetSite : public ::testing::Test {
protected:
    standin::Server site;
    std::shared_ptr<CInternetPageOpener> opener = std::make_shared<CInternetPageOpener>();
    CWatchPageReader reader{opener, site.WideRoot()};

    std::wstring Url(const std::string& target) { return site.WideRoot() + Widen(target); }
};

TEST_F(InternetSite, ReadsAWatchPage) {
    const standin::Movie& m = standin::Catalogue()[1]; // a non-ASCII title
    std::wstring title;
    EXPECT_EQ(reader.GetVideoUrl(Url("watch?v=" + m.id), title),
              site.WideRoot() + Widen(standin::VideoTarget(m)));
    // UTF-8 comes back one character per byte in code page 1252.
    EXPECT_EQ(title, L"Caf\u00C3\u00A9 M\u00C3\u00BCller \u00E2\u20AC\u201C Rehearsal");
    const std::vector<standin::Request> log = site.Requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].Header("User-Agent"), "Brenlow");
}

TEST_F(InternetSite, FollowsARedirectToAnotherServer) {
    standin::Server other;
    const standin::Movie& m = standin::Catalogue()[0];
    site.AddRedirect("/old", other.Root() + "watch?v=" + m.id);
    std::wstring title;
    EXPECT_EQ(reader.GetVideoUrl(Url("old"), title),
              site.WideRoot() + Widen(standin::VideoTarget(m)));
    EXPECT_EQ(title, L"Harbour Lights at Dusk");
    EXPECT_EQ(other.RequestCount("/watch"), 1u);
}

TEST_F(InternetSite, SearchesAnErrorPage) {
    site.AddPage("/gone", "<title>0123456789Gone</title>\"t\": \"tok\"", "text/html", 404);
    std::wstring title;
    EXPECT_EQ(reader.GetVideoUrl(Url("gone"), title),
              site.WideRoot() + L"get_video?video_id=&t=tok\"%3d");
    EXPECT_EQ(title, L"Gone");
    // The site's own error page has no markers: empty title and address.
    EXPECT_EQ(reader.GetVideoUrl(Url("watch?v=nosuchmovie"), title), L"");
    EXPECT_EQ(title, L"");
}

TEST_F(InternetSite, PageTextIsDefinedPieceByPiece) {
    // A zero byte drops the rest of its 50-byte piece only; a 1 MB page of
    // random bytes reads as the plain 50-byte decoding gives it.
    std::string body = std::string(10, 'a') + '\0' + std::string(39, 'b') + "c\r\n";
    std::mt19937 rng(3);
    std::string big(1 << 20, '\0');
    for (char& c : big)
        c = static_cast<char>(rng() % 64 == 0 ? 0 : rng() % 256);
    site.AddPage("/zero", body);
    site.AddPage("/big", big);
    std::wstring text;
    ASSERT_TRUE(ReadPageText(*opener, Url("zero"), text));
    EXPECT_EQ(text, L"aaaaaaaaaac\r\n");
    ASSERT_TRUE(ReadPageText(*opener, Url("big"), text));
    EXPECT_EQ(text, PlainPageText(big));
}

TEST_F(InternetSite, HarvestsTheLinkPage) {
    std::vector<std::wstring> links;
    reader.GetWatchLinks(Url("links"), links);
    std::vector<std::wstring> expected;
    for (const std::string& t : standin::LinkPageTargets(standin::Catalogue()))
        expected.push_back(Url(t));
    EXPECT_EQ(links, expected);
}

TEST_F(InternetSite, UnreachableAddressesRaiseTheSystemsText) {
    std::uint16_t closedPort;
    {
        standin::Server gone;
        closedPort = gone.Port();
    }
    struct Case {
        std::wstring url;
        std::uint32_t code;
    };
    const Case cases[] = {
        {L"http://no-such-host.invalid/watch?v=x", 12007},                  // name not resolved
        {L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/", 12029}, // refused
        {L"nosuchscheme://x/", 12006},
    };
    for (const Case& c : cases) {
        std::wstring title = L"stale";
        try {
            reader.GetVideoUrl(c.url, title);
            ADD_FAILURE() << "no error";
        } catch (const CInternetException& e) {
            EXPECT_EQ(e.m_dwError, c.code);
            EXPECT_EQ(e.GetErrorMessage(), InternetErrorText(c.code));
            EXPECT_NE(e.GetErrorMessage().find(L' '),
                      std::wstring::npos); // a sentence, not a number
        }
        EXPECT_EQ(title, L"");
    }
    EXPECT_EQ(InternetErrorText(12007), L"The server name could not be resolved.");
}

TEST_F(InternetSite, BodyOverTheCapEndsTheRead) {
    site.AddBody("/huge", kMaxPageBytes + 1,
                 [](std::uint64_t, char* out, std::size_t n) { std::memset(out, 0, n); });
    std::vector<std::wstring> links = {L"stale"};
    try {
        reader.GetWatchLinks(Url("huge"), links);
        ADD_FAILURE() << "no error";
    } catch (const CException& e) {
        EXPECT_EQ(e.GetErrorMessage(), kPageTooLarge);
    }
    EXPECT_TRUE(links.empty());
}

TEST(SiteRoot, RegistryValueReplacesTheDefault) {
    const std::wstring path =
        L"Software\\TorvanePelgrane\\Tests\\SiteRoot-" + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(SiteRootFromKey(path), L"http://www.youtube.com/");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    auto set = [&](const std::wstring& v) {
        RegSetValueExW(key, L"SiteRoot", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                       static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    };
    set(L"http://127.0.0.1:8123/");
    EXPECT_EQ(SiteRootFromKey(path), L"http://127.0.0.1:8123/");
    set(L"http://127.0.0.1:8123");
    EXPECT_EQ(SiteRootFromKey(path), L"http://127.0.0.1:8123/");
    set(L"");
    EXPECT_EQ(SiteRootFromKey(path), L"http://www.youtube.com/");
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

} // namespace
