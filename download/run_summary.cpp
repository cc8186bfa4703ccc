#include "download/run_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kKiB = 1024.0;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr std::chrono::hours kLongestEstimate{100};
constexpr wchar_t kSeparator[] = L" \u00B7 ";

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p; ++p)
        wide.push_back(static_cast<wchar_t>(*p));
    return wide;
}

} // namespace

std::wstring FormatSpeed(double bytesPerSecond) {
    const double speed = std::max(bytesPerSecond, 0.0);
    char text[48];
    // Rounded once, to tenths of a megabyte: a speed that rounds to 1.0 MB/s
    // never shows as 1024 KB/s.
    const double tenths = std::floor(speed * 10.0 / kMiB + 0.5);
    if (tenths >= 10.0) {
        std::snprintf(text, sizeof text, "%.1f MB/s", tenths / 10.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f KB/s", std::floor(speed / kKiB + 0.5));
    }
    return Widen(text);
}

std::wstring FormatTimeLeft(std::chrono::seconds left) {
    const long long total = std::max<long long>(left.count(), 0);
    const long long hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, seconds);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
    return Widen(text);
}

std::optional<std::chrono::seconds> EstimateTimeLeft(std::uint64_t remaining,
                                                     double bytesPerSecond) {
    if (!(bytesPerSecond > 0.0))
        return std::nullopt;
    const double seconds = std::ceil(static_cast<double>(remaining) / bytesPerSecond);
    if (seconds >= std::chrono::duration<double>(kLongestEstimate).count())
        return std::nullopt;
    return std::chrono::seconds(static_cast<long long>(seconds));
}

std::wstring FormatRunSummary(int position, int total, std::optional<double> bytesPerSecond,
                              std::optional<std::chrono::seconds> left) {
    std::wstring text =
        L"Downloading " + std::to_wstring(position) + L" of " + std::to_wstring(total);
    if (bytesPerSecond)
        text += kSeparator + FormatSpeed(*bytesPerSecond);
    if (left)
        text += kSeparator + FormatTimeLeft(*left) + L" left";
    return text;
}

void CRunSummary::Reset() {
    m_samples.clear();
    m_nFailedSeen = 0;
    m_errorUntil.reset();
}

std::optional<double> CRunSummary::Speed() const {
    if (m_samples.size() < 2)
        return std::nullopt;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const std::chrono::duration<double> span = last.at - first.at;
    if (span < kFirstSpeed || last.received < first.received)
        return std::nullopt;
    return static_cast<double>(last.received - first.received) / span.count();
}

CRunDisplay CRunSummary::Tick(Clock::time_point now, const CRunFigures& figures) {
    // A counter that went back belongs to something else: measure afresh.
    if (!m_samples.empty() &&
        (figures.received < m_samples.back().received || now < m_samples.back().at))
        m_samples.clear();
    m_samples.push_back({now, figures.received});
    // The oldest sample kept is the last one at least a window old, so the
    // speed always spans the whole window once the run is that old.
    while (m_samples.size() > 2 && now - m_samples[1].at >= kWindow)
        m_samples.pop_front();

    CRunDisplay display;
    if (figures.nTotal <= 0)
        return display; // nothing queued: the run ends without a word
    const std::optional<double> speed = Speed();
    std::optional<std::chrono::seconds> left;
    if (speed && figures.nRemainingKnown > 0)
        left = EstimateTimeLeft(figures.remaining, *speed);
    const int position = std::clamp(figures.nPosition, 1, figures.nTotal);
    display.text = FormatRunSummary(position, figures.nTotal, speed, left);

    if (figures.nFailed > m_nFailedSeen)
        m_errorUntil = now + kErrorShown;
    m_nFailedSeen = figures.nFailed;
    display.state =
        m_errorUntil && now < *m_errorUntil ? TaskbarState::Error : TaskbarState::Normal;
    display.total = static_cast<std::uint64_t>(figures.nTotal) * 100;
    display.done = std::min(figures.percentDone, display.total);
    return display;
}
