// A download run as the main window tells it: the summary in status pane 120
// and the taskbar button's progress, seen through a recorder in place of the
// shell's taskbar, during scripted runs against the stand-in site.
#include "framework/strings.h"
#include "main_window_fixture.h"
#include "res/resource.h"
#include "standin/server.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using State = ITaskbarProgress::State;

using tb::test::PumpUntil;
using tb::test::Wide;

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// The status bar's client drawing, read back through WM_PRINTCLIENT
// (0x00RRGGBB, rows top-down).
struct Drawing {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    // Pixels of the columns [left, right) that differ from `other`.
    int Differences(const Drawing& other, int left, int right) const {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = std::max(left, 0); x < std::min(right, width); ++x)
                n += pixels[y * width + x] != other.pixels[y * width + x];
        return n;
    }
};

Drawing Draw(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    Drawing d{rc.right, rc.bottom, {}};
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), d.width, -d.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < d.width * d.height; ++i)
        d.pixels.push_back(p[i] & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    return d;
}

// What the taskbar button was told, in order.
struct TaskbarCall {
    enum Kind { State, Value, Created } kind;
    ITaskbarProgress::State state = ITaskbarProgress::State::None;
    std::uint64_t done = 0, total = 0;
};

class TaskbarRecorder : public ITaskbarProgress {
public:
    explicit TaskbarRecorder(std::vector<TaskbarCall>& calls, bool* gone = nullptr)
        : m_calls(calls), m_gone(gone) {}
    ~TaskbarRecorder() override {
        if (m_gone)
            *m_gone = true;
    }
    void SetState(ITaskbarProgress::State state) override {
        m_calls.push_back({TaskbarCall::State, state});
    }
    void SetValue(std::uint64_t done, std::uint64_t total) override {
        m_calls.push_back({TaskbarCall::Value, ITaskbarProgress::State::None, done, total});
    }
    void ButtonCreated() override { m_calls.push_back({TaskbarCall::Created}); }

private:
    std::vector<TaskbarCall>& m_calls;
    bool* m_gone;
};

class RunProgress : public tb::test::MainWindowTest {
protected:
    RunProgress() : MainWindowTest(L"tb_progress_") {}
    void ConfigureDocument(CPelgraneDoc& made) override {
        made.SetSite(&reader, nullptr, site.WideRoot());
        UseScratchOutput(made);
    }
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        frame->SetTaskbarProgress(std::make_unique<TaskbarRecorder>(calls));
        SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE);
        frame->ShowWindow(SW_SHOW);
    }
    void TearDown() override {
        if (doc)
            doc->StopDownload();
        MainWindowTest::TearDown();
    }

    // A checked movie of the site; served `pieceBytes` every `delay` when
    // given, with a wrong token (404) when `broken`.
    MoviePtr AddMovie(const char* id, std::uint64_t size, std::size_t pieceBytes = 0,
                      std::chrono::milliseconds delay = 0ms, bool broken = false) {
        standin::Movie movie{id, "Tk1Tk2Tk3Tk4Tk5Tk6Tk7Tk8Tk9Tk0Tk1Tk2Tk3Tk4Tk",
                             std::string("Movie ") + id, size};
        site.AddMovie(movie);
        if (pieceBytes > 0) {
            standin::FaultSpec rate;
            rate.kind = standin::Fault::Trickle;
            rate.pieceBytes = pieceBytes;
            rate.delay = delay;
            site.SetFault("/" + standin::VideoTarget(movie), rate);
        }
        const std::wstring url = site.WideRoot() + L"watch?v=" + Wide(id);
        std::wstring video = site.WideRoot() + Wide(standin::VideoTarget(movie));
        if (broken)
            video.replace(video.find(L"&t=") + 3, 1, L"#");
        reader.m_pages[url] = {Wide(movie.title), video};
        MoviePtr added = doc->m_movies.AddMovie(url);
        added->m_bChecked = 1;
        doc->UpdateAllViews(nullptr);
        return added;
    }
    std::wstring Pane() const { return frame->m_wndStatusBar.GetPaneText(ID_STATUSBAR_PANE1); }
    int PaneWidth() const {
        const RECT rc = frame->m_wndStatusBar.GetPaneRect(ID_STATUSBAR_PANE1);
        return rc.right - rc.left;
    }
    bool Running() const {
        return static_cast<CPelgraneView*>(frame->GetActiveView())->m_bRunning != 0;
    }
    std::vector<State> States() const {
        std::vector<State> states;
        for (const TaskbarCall& c : calls)
            if (c.kind == TaskbarCall::State)
                states.push_back(c.state);
        return states;
    }

    standin::Server site;
    tb::test::PageMapReader reader;
    std::vector<TaskbarCall> calls;
};

// "Downloading 2 of 2 · 1.6 MB/s · 0:03 left" (or "900 KB/s" on a busy machine)
const std::wregex kFullSummary(L"Downloading [12] of 2 \u00B7 [0-9]+(\\.[0-9] MB| KB)/s \u00B7 "
                               L"[0-9]+:[0-5][0-9] left");

TEST_F(RunProgress, SummaryAndTaskbarFollowARunWithAFailureAndClearAtItsEnd) {
    // Enumeration order is newest first: the broken movie, then the slow one
    // (about 1.6 MB/s for 8 MB).
    MoviePtr slow = AddMovie("progress001", 8 * 1048576, 65536, 40ms);
    MoviePtr broken = AddMovie("progress002", 1000, 0, 0ms, true);
    const std::wstring blank = Pane();
    const int blankWidth = PaneWidth();
    ASSERT_EQ(blank, LoadResString(IDS_STATUS_PANE1));
    const Drawing blankDrawing = Draw(frame->m_wndStatusBar.m_hWnd);

    frame->RunCommand(ID_DOWNLOAD_START);
    EXPECT_EQ(Pane().rfind(L"Downloading 1 of 2", 0), 0u) << Utf8(Pane());
    std::wstring summary;
    ASSERT_TRUE(PumpUntil([&] {
        if (std::regex_match(Pane(), kFullSummary))
            summary = Pane();
        return !summary.empty();
    })) << Utf8(Pane());
    std::printf("summary during the run: %s\n", Utf8(summary).c_str());
    RecordProperty("summary", Utf8(summary));
    EXPECT_EQ(summary.rfind(L"Downloading 2 of 2", 0), 0u);
    // The pane makes room for the text, and the text is drawn there.
    EXPECT_GT(PaneWidth(), blankWidth + 100);
    EXPECT_GT(Draw(frame->m_wndStatusBar.m_hWnd).Differences(blankDrawing, blankWidth, PaneWidth()),
              200);

    ASSERT_TRUE(PumpUntil([&] { return !Running(); }));
    EXPECT_EQ(slow->m_nStatus.load(), Completed);
    EXPECT_EQ(broken->m_nStatus.load(), Failed);
    EXPECT_EQ(Pane(), blank);
    EXPECT_EQ(PaneWidth(), blankWidth);
    EXPECT_EQ(Draw(frame->m_wndStatusBar.m_hWnd).Differences(blankDrawing, 0, 300), 0);

    // The button: a bar from the start, red for a moment after the failure,
    // then normal again while the slow movie runs, and none at the end.
    const std::vector<State> states = States();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.back(), State::None);
    const auto error = std::find(states.begin(), states.end(), State::Error);
    ASSERT_NE(error, states.end());
    EXPECT_NE(std::find(error, states.end(), State::Normal), states.end());
    // Values: out of 200, never going back, reaching the failed movie's 100.
    std::uint64_t last = 0;
    for (const TaskbarCall& c : calls) {
        if (c.kind != TaskbarCall::Value)
            continue;
        EXPECT_EQ(c.total, 200u);
        EXPECT_GE(c.done, last);
        last = c.done;
    }
    EXPECT_GE(last, 100u);
    EXPECT_LE(last, 200u);
    EXPECT_EQ(calls.back().kind, TaskbarCall::State);
}

TEST_F(RunProgress, StopClearsPaneAndButtonAtOnceAndANewButtonIsShownAgain) {
    AddMovie("progress003", 16 * 1048576, 16384, 40ms);
    frame->RunCommand(ID_DOWNLOAD_START);
    ASSERT_TRUE(PumpUntil([&] { return doc->m_run.ReceivedBytes() > 0; }));
    ASSERT_FALSE(States().empty());
    EXPECT_EQ(States().front(), State::Normal);

    // The shell made the button again: the recorder hears of it.
    SendMessageW(frame->m_hWnd, TaskbarButtonCreatedMessage(), 0, 0);
    EXPECT_EQ(calls.back().kind, TaskbarCall::Created);

    frame->RunCommand(ID_DOWNLOAD_STOP);
    EXPECT_EQ(Pane(), LoadResString(IDS_STATUS_PANE1));
    EXPECT_EQ(States().back(), State::None);
    const std::size_t count = calls.size();
    // Later ticks of a stopped run tell the button nothing more.
    HWND view = frame->GetActiveView()->m_hWnd;
    for (int i = 0; i < 2; ++i)
        SendMessageW(view, WM_TIMER, CPelgraneView::kTimerId, 0);
    EXPECT_EQ(calls.size(), count);
    EXPECT_EQ(Pane(), LoadResString(IDS_STATUS_PANE1));
}

// The shell's taskbar list is a COM object: it is let go with the window,
// while COM still runs, not with the frame object at the program's very end.
TEST_F(RunProgress, TheButtonsProgressIsLetGoWithTheWindow) {
    bool gone = false;
    frame->SetTaskbarProgress(std::make_unique<TaskbarRecorder>(calls, &gone));
    frame->ShowRunProgress(L"Downloading 1 of 1", State::Normal, 1, 2);
    ASSERT_FALSE(gone);
    frame->DestroyWindow();
    EXPECT_TRUE(gone);
    // A late word from the run after that is harmless.
    frame->ClearRunProgress();
}

} // namespace
