#pragma once
// What the window tells about a download run while it goes: the one-line
// summary for the status bar ("Downloading 2 of 5 · 3.4 MB/s · 0:42 left")
// and the run's overall progress for the taskbar button.
//
// The window reads the run's figures on its timer (CDownloadRun::Figures)
// and hands them to Tick with the time of the tick; everything that is worked
// out from them lives here, away from any window, so it can be tested on its
// own. The speed is the run's byte count over the last few seconds, so one
// slow or fast tick moves it only a little; the time left is the bytes still
// to come, of the movies whose sizes are known, at that speed.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

// A run as one tick sees it.
struct CRunFigures {
    int nTotal = 0;    // movies the run was started with
    int nPosition = 0; // movies of the run started so far (the one downloading is the last)
    int nFailed = 0;   // movies of the run that failed so far
    // Percent points done over the whole run: 100 for each movie that has
    // ended, plus the percent of the one downloading; out of 100 * nTotal.
    std::uint64_t percentDone = 0;
    // Bytes the run's transfers have received, counted from any fixed start.
    std::uint64_t received = 0;
    // Bytes still to come of the movies (downloading or waiting) whose sizes
    // are known, and how many such movies there are.
    std::uint64_t remaining = 0;
    int nRemainingKnown = 0;
};

// How the taskbar button shows the run.
enum class TaskbarState { None, Normal, Error };

struct CRunDisplay {
    std::wstring text; // the status bar summary
    TaskbarState state = TaskbarState::None;
    std::uint64_t done = 0;  // taskbar value...
    std::uint64_t total = 0; // ...out of this
};

class CRunSummary {
public:
    using Clock = std::chrono::steady_clock;
    // The span the speed is measured over.
    static constexpr std::chrono::milliseconds kWindow{5000};
    // The speed is shown once the samples span at least this much.
    static constexpr std::chrono::milliseconds kFirstSpeed{1000};
    // How long the taskbar button shows the error state after a failure.
    static constexpr std::chrono::milliseconds kErrorShown{2000};

    // Forgets the last run: the next tick starts measuring afresh.
    void Reset();
    CRunDisplay Tick(Clock::time_point now, const CRunFigures& figures);
    // Bytes per second over the window, once it spans kFirstSpeed.
    std::optional<double> Speed() const;

private:
    struct Sample {
        Clock::time_point at;
        std::uint64_t received;
    };
    std::deque<Sample> m_samples;
    int m_nFailedSeen = 0;
    std::optional<Clock::time_point> m_errorUntil;
};

// "850 KB/s" below one megabyte a second, "3.4 MB/s" from there (1 MB =
// 1024 KB = 1,048,576 bytes, as the size column counts).
std::wstring FormatSpeed(double bytesPerSecond);
// "0:42", "12:05", "1:02:03"; whole seconds, rounded up.
std::wstring FormatTimeLeft(std::chrono::seconds left);
// The time `remaining` bytes take at `bytesPerSecond`, rounded up to whole
// seconds; none when it cannot be told (no speed) or is beyond any use
// (100 hours or more).
std::optional<std::chrono::seconds> EstimateTimeLeft(std::uint64_t remaining,
                                                     double bytesPerSecond);
// The summary text; no speed or time part for what is not given.
std::wstring FormatRunSummary(int position, int total, std::optional<double> bytesPerSecond,
                              std::optional<std::chrono::seconds> left);
