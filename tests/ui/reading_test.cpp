// Add and Batch Add read their pages on a worker: the main window keeps
// answering while a slow site is read, the progress window offers Cancel, and
// Cancel ends the wait at once, keeping the movies read before it. Document,
// frame and view are real windows; the site is the stand-in site on loopback,
// read through the program's own internet reader.
#include "framework/frame.h"
#include "main_window_fixture.h"
#include "pump_win.h"
#include "res/resource.h"
#include "site/internet_opener.h"
#include "site/watch_page_reader.h"
#include "standin/server.h"
#include "ui/page_reading.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tb::test::TextOf;
using tb::test::WaitDialog;
using tb::test::WaitUntil;
using tb::test::Wide;
using Clock = std::chrono::steady_clock;

// Types `address` into the address dialog and confirms it.
void AnswerAddress(const std::wstring& address) {
    HWND dlg = WaitDialog(L"Dialog");
    if (!dlg)
        return;
    SendMessageW(GetDlgItem(dlg, IDC_ADDRESS), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(address.c_str()));
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
}

// Movies of the test's own, with ids and tokens of the site's shape.
std::vector<standin::Movie> MakeMovies(int count) {
    std::vector<standin::Movie> movies;
    for (int i = 0; i < count; ++i) {
        char id[12];
        std::snprintf(id, sizeof id, "rd%09d", i);
        movies.push_back({id, std::string(40, 'k') + std::string(id + 7, 4),
                          "Reading test " + std::to_string(i), 64});
    }
    return movies;
}

// Asks the window from another thread whether it answers, as the system's hang
// detection does, every ~50 ms while `on` holds, and keeps the slowest answer.
class Probe {
public:
    explicit Probe(HWND target)
        : m_thread([this, target] {
              while (!m_stop) {
                  if (!m_on) {
                      std::this_thread::sleep_for(2ms);
                      continue;
                  }
                  DWORD_PTR result = 0;
                  const auto start = Clock::now();
                  if (!SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result))
                      ++m_unanswered;
                  const long long ms =
                      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                          .count();
                  if (ms > m_slowestMs)
                      m_slowestMs = ms;
                  ++m_count;
                  std::this_thread::sleep_for(50ms);
              }
          }) {}
    ~Probe() { Stop(); }
    void Start() { m_on = true; }
    void Stop() {
        m_on = false;
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    long long SlowestMs() const { return m_slowestMs; }
    int Unanswered() const { return m_unanswered; }
    int Count() const { return m_count; }

private:
    std::atomic<bool> m_on{false}, m_stop{false};
    std::atomic<long long> m_slowestMs{0};
    std::atomic<int> m_unanswered{0}, m_count{0};
    std::thread m_thread;
};

class Reading : public tb::test::MainWindowTest {
protected:
    Reading() : MainWindowTest(L"tb_reading_") {}
    void ConfigureDocument(CPelgraneDoc& made) override {
        made.SetSite(
            reader,
            [reader = reader](const std::wstring& url, std::vector<std::wstring>& links) {
                reader->GetWatchLinks(url, links);
            },
            server.WideRoot());
        made.SetDefaultProjectPath(DefaultProject());
    }
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        MainWindowTest::SetUp();
    }
    void TearDown() override {
        if (helper.joinable())
            helper.join();
        // A worker left behind on a stalled page ends once the page comes.
        server.ReleaseStalls();
        MainWindowTest::TearDown();
    }
    std::vector<std::wstring> Urls() {
        std::vector<std::wstring> urls;
        for (auto pos = doc->m_movies.GetStartPosition(); pos;) {
            std::uint16_t key;
            MoviePtr movie;
            doc->m_movies.GetNextAssoc(pos, key, movie);
            urls.push_back(movie->m_strUrl);
        }
        return urls;
    }
    // Every watch page takes about `ms` to arrive, in five pieces.
    // `count` movies on the site, each with its watch page.
    std::vector<standin::Movie> ServeMovies(int count) {
        std::vector<standin::Movie> movies = MakeMovies(count);
        for (const standin::Movie& movie : movies)
            server.AddMovie(movie);
        return movies;
    }
    // A page of links to `movies` at `path`; the targets of its links, in order.
    std::vector<std::string> ServeLinkPage(const std::string& path,
                                           const std::vector<standin::Movie>& movies) {
        server.AddPage(path, standin::LinkPage(movies));
        return standin::LinkPageTargets(movies);
    }
    void SlowWatchPages(const standin::Movie& sample, int ms) {
        standin::FaultSpec slow;
        slow.kind = standin::Fault::Trickle;
        slow.pieceBytes = standin::WatchPage(sample).size() / 5 + 1;
        slow.delay = std::chrono::milliseconds(ms / 4);
        server.SetFault("/watch", slow);
    }
    // The page at `target` sends a little, then nothing until ReleaseStalls.
    void StallPage(const std::string& target) {
        standin::FaultSpec stall;
        stall.kind = standin::Fault::Stall;
        stall.afterBytes = 100;
        server.SetFault(target, stall);
    }

    standin::Server server;
    std::shared_ptr<CWatchPageReader> reader = std::make_shared<CWatchPageReader>(
        std::make_shared<CInternetPageOpener>(), server.WideRoot());
    std::thread helper;
};

TEST_F(Reading, BatchAddKeepsTheWindowAnsweringAndCancelKeepsExactlyThePagesRead) {
    const std::vector<standin::Movie> movies = ServeMovies(40);
    const std::vector<std::string> targets = ServeLinkPage("/most-viewed", movies);
    SlowWatchPages(movies[0], 200);
    StallPage("/" + targets[10]);

    Probe probe(frame->m_hWnd);
    std::wstring caption, seenText;
    bool mainHeldOff = false;
    bool stallHeldAtCancel = false;
    helper = std::thread([&] {
        AnswerAddress(server.WideRoot() + L"most-viewed");
        // The page of links is asked for once the address dialog is gone and
        // the reading is on; from then on the window must answer throughout.
        // (Its going is not probed: on the test display, which has no window
        // manager, Wine holds a thread about 2 s whenever it hides a top-level
        // window, whatever the program does.)
        if (!server.WaitForRequests(1, 20s))
            return;
        probe.Start();
        HWND progress = WaitDialog(L"Adding movies");
        if (!progress)
            return;
        caption = TextOf(progress);
        HWND text = GetDlgItem(progress, IDC_READING_TEXT);
        WaitUntil([&] { return TextOf(text) == L"Reading page 11 of 40\u2026"; });
        seenText = TextOf(text);
        mainHeldOff = !IsWindowEnabled(frame->m_hWnd);
        stallHeldAtCancel = server.WaitForStalls(1, 20s);
        probe.Stop();
        PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    });
    frame->RunCommand(ID_MOVIES_BATCH_ADD);
    // The stalled page was left behind, not waited out.
    EXPECT_TRUE(server.WaitForStalls(1, 0ms));
    helper.join();

    EXPECT_EQ(caption, L"Adding movies");
    EXPECT_EQ(seenText, L"Reading page 11 of 40\u2026");
    EXPECT_TRUE(mainHeldOff);
    EXPECT_TRUE(stallHeldAtCancel);
    EXPECT_TRUE(IsWindowEnabled(frame->m_hWnd));
    // About 2 s of reading, probed every ~50 ms.
    EXPECT_GT(probe.Count(), 20);
    EXPECT_EQ(probe.Unanswered(), 0);
    EXPECT_LT(probe.SlowestMs(), 100) << "the main window stopped answering";
    // The first ten links, in the collection's order: keys 0 to 9 share one
    // bucket, newest first.
    std::vector<std::wstring> expected;
    for (std::size_t i = 10; i-- > 0;)
        expected.push_back(server.WideRoot() + Wide(targets[i]));
    EXPECT_EQ(Urls(), expected);
    EXPECT_EQ(server.RequestCount("/watch"), 11u);
}

TEST_F(Reading, AQuickAddShowsNoProgressWindowAndGivesTheFocusBack) {
    const std::vector<standin::Movie> movies = ServeMovies(1);
    // The list has the keys, as after a click into it.
    HWND list = static_cast<CPelgraneView*>(frame->GetActiveView())->m_listMovies.m_hWnd;
    SetActiveWindow(frame->m_hWnd);
    SetFocus(list);
    ASSERT_EQ(GetFocus(), list);
    std::atomic<bool> progressSeen{false};
    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        while (watching) {
            if (FindWindowW(L"#32770", L"Adding movies"))
                progressSeen = true;
            std::this_thread::sleep_for(2ms);
        }
    });
    const std::wstring address = server.WideRoot() + L"watch?v=" + Wide(movies[0].id);
    helper = std::thread([&] { AnswerAddress(address); });
    frame->RunCommand(ID_MOVIES_ADD);
    helper.join();
    watching = false;
    watcher.join();
    EXPECT_FALSE(progressSeen.load());
    EXPECT_EQ(Urls(), std::vector<std::wstring>{address});
    // The main window was held off while the page was read; the keys go to
    // the list again (Ins adds the next movie).
    EXPECT_EQ(GetFocus(), list);
}

TEST_F(Reading, CancelOfAStalledAddAddsNothingReportsNothingAndWaitsForNothing) {
    const std::vector<standin::Movie> movies = ServeMovies(1);
    StallPage("/watch");
    std::wstring seenText;
    bool boxShown = false;
    helper = std::thread([&] {
        AnswerAddress(server.WideRoot() + L"watch?v=" + Wide(movies[0].id));
        HWND progress = WaitDialog(L"Adding movies");
        if (!progress || !server.WaitForStalls(1, 20s))
            return;
        HWND text = GetDlgItem(progress, IDC_READING_TEXT);
        WaitUntil([&] { return TextOf(text) == L"Reading page 1 of 1\u2026"; });
        seenText = TextOf(text);
        // Escape, as a user would press it.
        PostMessageW(GetDlgItem(progress, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(GetDlgItem(progress, IDCANCEL), WM_KEYUP, VK_ESCAPE, 0xC0000001);
        // An error box would come right after the progress window.
        boxShown = WaitUntil([] { return FindWindowW(L"#32770", L"Torvane Brenlow"); }, 3s);
        if (HWND box = FindWindowW(L"#32770", L"Torvane Brenlow"))
            PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    frame->RunCommand(ID_MOVIES_ADD);
    EXPECT_TRUE(server.WaitForStalls(1, 0ms));
    helper.join();
    EXPECT_EQ(seenText, L"Reading page 1 of 1\u2026");
    EXPECT_FALSE(boxShown);
    EXPECT_TRUE(Urls().empty());
}

TEST_F(Reading, TheProgressWindowOverAMinimisedMainWindowComesUpOnTheScreen) {
    // The main window was minimised while the address was typed. Its Cancel
    // is the only way out of a page that never comes (a close waits for the
    // reading), so the progress window must not be centred over the place
    // far off the screen where the system keeps minimised windows.
    const std::vector<standin::Movie> movies = ServeMovies(1);
    StallPage("/watch");
    RECT placed{};
    helper = std::thread([&] {
        AnswerAddress(server.WideRoot() + L"watch?v=" + Wide(movies[0].id));
        HWND progress = nullptr;
        WaitUntil([&] { return (progress = FindWindowW(L"#32770", L"Adding movies")) != nullptr; });
        if (!progress)
            return;
        GetWindowRect(progress, &placed);
        PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    });
    ShowWindow(frame->m_hWnd, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(frame->m_hWnd));
    frame->RunCommand(ID_MOVIES_ADD);
    helper.join();
    // The screen the main window comes back on.
    MONITORINFO screen{sizeof screen, {}, {}, 0};
    ASSERT_TRUE(
        GetMonitorInfoW(MonitorFromWindow(frame->m_hWnd, MONITOR_DEFAULTTONEAREST), &screen));
    ASSERT_GT(placed.right, placed.left);
    EXPECT_GE(placed.left, screen.rcWork.left);
    EXPECT_GE(placed.top, screen.rcWork.top);
    EXPECT_LE(placed.right, screen.rcWork.right);
    EXPECT_LE(placed.bottom, screen.rcWork.bottom);
    EXPECT_TRUE(Urls().empty());
}

// The real reader, except that one address fails as an unknown host does.
class FailingReader : public IWatchPageReader {
public:
    FailingReader(std::shared_ptr<IWatchPageReader> real, std::wstring failing)
        : m_real(std::move(real)), m_failing(std::move(failing)) {}
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        if (url == m_failing)
            throw CInternetException(12007, L"The server name could not be resolved.");
        return m_real->GetVideoUrl(url, title);
    }

private:
    std::shared_ptr<IWatchPageReader> m_real;
    std::wstring m_failing;
};

TEST_F(Reading, AnErrorAfterSlowPagesIsReportedAsBeforeWithThePagesReadKept) {
    // The third page fails long after the progress window appeared: the two
    // before it stay, the next is never read, and the error box comes with its
    // text once the progress window is gone.
    const std::vector<standin::Movie> movies = ServeMovies(4);
    const std::vector<std::string> targets = ServeLinkPage("/list", movies);
    SlowWatchPages(movies[0], 200);
    doc->SetSite(
        std::make_shared<FailingReader>(reader, server.WideRoot() + Wide(targets[2])),
        [reader = reader](const std::wstring& url, std::vector<std::wstring>& links) {
            reader->GetWatchLinks(url, links);
        },
        server.WideRoot());
    std::wstring boxText;
    bool progressGoneFirst = false;
    helper = std::thread([&] {
        AnswerAddress(server.WideRoot() + L"list");
        HWND progress = WaitDialog(L"Adding movies");
        HWND box = WaitDialog(L"Torvane Brenlow");
        if (!box)
            return;
        progressGoneFirst = progress && !IsWindow(progress);
        boxText = TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    frame->RunCommand(ID_MOVIES_BATCH_ADD);
    helper.join();
    EXPECT_TRUE(progressGoneFirst);
    EXPECT_EQ(boxText, L"The server name could not be resolved.");
    EXPECT_EQ(Urls(), (std::vector<std::wstring>{server.WideRoot() + Wide(targets[1]),
                                                 server.WideRoot() + Wide(targets[0])}));
    EXPECT_EQ(server.RequestCount("/watch"), 2u);
}

// Watch pages from memory, counting the reads.
class CountingReader : public IWatchPageReader {
public:
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        ++reads;
        title = L"T " + url;
        return {};
    }
    std::atomic<int> reads{0};
};

TEST(PageReading, ReadsNoMorePagesThanTheListHasRoomFor) {
    // With two keys left, the third page is not read, and the reading ends
    // with the full-list error, as adding the movies one by one would.
    auto reader = std::make_shared<CountingReader>();
    CPageReading reading(
        reader,
        [](const std::wstring&, std::vector<std::wstring>& links) {
            links = {L"a", L"b", L"c"};
        },
        L"list", 2);
    ASSERT_EQ(WaitForSingleObject(reading.DoneEvent(), 20000), WAIT_OBJECT_0);
    reading.Finish();
    EXPECT_EQ(reader->reads.load(), 2);
    std::vector<std::wstring> urls;
    for (const MoviePtr& movie : reading.TakeMovies())
        urls.push_back(movie->m_strUrl);
    EXPECT_EQ(urls, (std::vector<std::wstring>{L"a", L"b"}));
    ASSERT_TRUE(reading.Error());
    try {
        std::rethrow_exception(reading.Error());
    } catch (const CException& e) {
        EXPECT_EQ(e.GetErrorMessage(), kMovieListFull);
    } catch (...) {
        ADD_FAILURE() << "not the full-list error";
    }
}

} // namespace
