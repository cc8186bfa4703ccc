// The run's summary text and taskbar value: formatting, estimating, the
// smoothing of the speed, and the figures a run publishes for them.
#include "download/run_summary.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr double kMiB = 1048576.0;

TEST(RunSummaryFormat, SpeedRoundsToWholeKilobytesThenTenthsOfMegabytes) {
    const struct {
        double bytesPerSecond;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 KB/s"},
        {-5, L"0 KB/s"},
        {511, L"0 KB/s"},
        {1023, L"1 KB/s"},
        {512 * 1024, L"512 KB/s"},
        {0.94 * kMiB, L"963 KB/s"},
        // Rounds to 1.0 MB/s, never "1024 KB/s".
        {0.96 * kMiB, L"1.0 MB/s"},
        {1023.9 * 1024, L"1.0 MB/s"},
        {3.44 * kMiB, L"3.4 MB/s"},
        {3.46 * kMiB, L"3.5 MB/s"},
        {250.04 * kMiB, L"250.0 MB/s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSpeed(c.bytesPerSecond), c.text) << c.bytesPerSecond;
}

TEST(RunSummaryFormat, TimeLeftAsMinutesOrHours) {
    const struct {
        long long seconds;
        const wchar_t* text;
    } cases[] = {
        {0, L"0:00"},       {42, L"0:42"},         {60, L"1:00"},
        {725, L"12:05"},    {3599, L"59:59"},      {3600, L"1:00:00"},
        {3723, L"1:02:03"}, {359999, L"99:59:59"}, {-3, L"0:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatTimeLeft(std::chrono::seconds(c.seconds)), c.text) << c.seconds;
}

TEST(RunSummaryFormat, EstimateRoundsUpAndGivesUpWithoutSpeedOrBeyondAHundredHours) {
    EXPECT_EQ(EstimateTimeLeft(42 * 1048576ull, kMiB), 42s);
    EXPECT_EQ(EstimateTimeLeft(1, 1e6), 1s);
    EXPECT_EQ(EstimateTimeLeft(0, 1e6), 0s);
    EXPECT_EQ(EstimateTimeLeft(1000, 0), std::nullopt);
    EXPECT_EQ(EstimateTimeLeft(359999, 1), 359999s);
    EXPECT_EQ(EstimateTimeLeft(360000, 1), std::nullopt);
    EXPECT_EQ(EstimateTimeLeft(~0ull, 1), std::nullopt);
}

TEST(RunSummaryFormat, TheSummaryLeavesOutWhatIsNotKnown) {
    EXPECT_EQ(FormatRunSummary(2, 5, 3.4 * kMiB, 42s),
              L"Downloading 2 of 5 \u00B7 3.4 MB/s \u00B7 0:42 left");
    EXPECT_EQ(FormatRunSummary(1, 3, 700 * 1024, std::nullopt),
              L"Downloading 1 of 3 \u00B7 700 KB/s");
    EXPECT_EQ(FormatRunSummary(1, 1, std::nullopt, std::nullopt), L"Downloading 1 of 1");
}

// Ticks every 500 ms, as the window's timer gives them.
class RunSummaryTicks : public ::testing::Test {
protected:
    CRunDisplay TickAt(std::chrono::milliseconds at) { return summary.Tick(start + at, figures); }
    CRunSummary summary;
    CRunSummary::Clock::time_point start{};
    CRunFigures figures{.nTotal = 5,
                        .nPosition = 2,
                        .nFailed = 0,
                        .percentDone = 140,
                        .received = 0,
                        .remaining = 84 * 1048576ull,
                        .nRemainingKnown = 2};
};

TEST_F(RunSummaryTicks, FirstSpeedAfterASecondThenTheTimeLeftFromTheKnownBytes) {
    CRunDisplay d = TickAt(0ms);
    EXPECT_EQ(d.text, L"Downloading 2 of 5");
    EXPECT_EQ(d.state, TaskbarState::Normal);
    EXPECT_EQ(d.done, 140u);
    EXPECT_EQ(d.total, 500u);
    figures.received = 1048576;
    EXPECT_EQ(TickAt(500ms).text, L"Downloading 2 of 5"); // half a second says too little
    figures.received = 2 * 1048576;
    EXPECT_EQ(TickAt(1000ms).text, L"Downloading 2 of 5 \u00B7 2.0 MB/s \u00B7 0:42 left");
    // No movie to come has a known size: the speed without a time.
    figures.nRemainingKnown = 0;
    figures.remaining = 0;
    figures.received = 3 * 1048576;
    EXPECT_EQ(TickAt(1500ms).text, L"Downloading 2 of 5 \u00B7 2.0 MB/s");
}

TEST_F(RunSummaryTicks, SpeedIsTheLastFiveSecondsSoOneQuietTickMovesItLittle) {
    for (int i = 0; i <= 12; ++i) {
        figures.received = static_cast<std::uint64_t>(i) * 1048576; // 2 MB/s
        TickAt(i * 500ms);
    }
    ASSERT_TRUE(summary.Speed());
    EXPECT_NEAR(*summary.Speed(), 2 * kMiB, 1);
    // Nothing arrives for one tick: 9 MB over the last 5 s, not 0.
    EXPECT_EQ(TickAt(6500ms).text, L"Downloading 2 of 5 \u00B7 1.8 MB/s \u00B7 0:47 left");
    // Nothing for the whole window: 0, and no time can be told.
    for (int i = 14; i <= 24; ++i)
        TickAt(i * 500ms);
    EXPECT_EQ(TickAt(12500ms).text, L"Downloading 2 of 5 \u00B7 0 KB/s");
}

TEST_F(RunSummaryTicks, ResetAndACounterThatGoesBackStartTheMeasureAfresh) {
    figures.received = 100 * 1048576;
    TickAt(0ms);
    figures.received = 104 * 1048576;
    ASSERT_NE(TickAt(2000ms).text, L"Downloading 2 of 5");
    summary.Reset();
    EXPECT_EQ(TickAt(2500ms).text, L"Downloading 2 of 5");
    figures.received = 0;
    TickAt(3000ms);
    figures.received = 1048576;
    EXPECT_EQ(TickAt(4000ms).text, L"Downloading 2 of 5 \u00B7 1.0 MB/s \u00B7 1:24 left");
}

TEST_F(RunSummaryTicks, PositionStaysWithinTheRunAndAnEmptyRunSaysNothing) {
    figures.nPosition = 0; // the first movie not started yet
    EXPECT_EQ(TickAt(0ms).text, L"Downloading 1 of 5");
    figures.nPosition = 7;
    EXPECT_EQ(TickAt(500ms).text, L"Downloading 5 of 5");
    figures.percentDone = 900;
    EXPECT_EQ(TickAt(1000ms).done, 500u);
    CRunSummary empty;
    const CRunDisplay d = empty.Tick(start, CRunFigures{});
    EXPECT_EQ(d.text, L"");
    EXPECT_EQ(d.state, TaskbarState::None);
}

TEST_F(RunSummaryTicks, AFailureShowsTheErrorStateForTwoSeconds) {
    EXPECT_EQ(TickAt(0ms).state, TaskbarState::Normal);
    figures.nFailed = 1;
    EXPECT_EQ(TickAt(500ms).state, TaskbarState::Error);
    EXPECT_EQ(TickAt(2000ms).state, TaskbarState::Error);
    EXPECT_EQ(TickAt(2500ms).state, TaskbarState::Normal);
    figures.nFailed = 2;
    EXPECT_EQ(TickAt(3000ms).state, TaskbarState::Error);
    EXPECT_EQ(TickAt(5000ms).state, TaskbarState::Normal);
}

} // namespace
