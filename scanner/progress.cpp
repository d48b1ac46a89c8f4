// The progress meter, the time-left text, and an instance's progress figures and panel line.
#include "scanner/progress.h"

#include "scanner/clipwatch.h"
#include "scanner/elementsettings.h"

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cmath>

ProgressMeter::ProgressMeter(Clock clock) : clock_(std::move(clock))
{
    buckets_.fill(0);
}

int64_t ProgressMeter::steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ProgressMeter::CatchUp(int phase, int64_t now)
{
    if (phase != phase_) {
        phase_ = phase;
        startMs_ = now;
        second_ = 0;
        buckets_.fill(0);
        windowSum_ = 0;
        smoothed_ = -1;
        done_ = 0;
    }
    static const double kStep = 1 - std::exp(-1 / kSmoothSeconds);
    for (const int64_t nowSecond = (now - startMs_) / 1000; second_ < nowSecond;) {
        // Close the open second: the window's rate over the seconds it has seen so far.
        const int64_t seen = std::min<int64_t>(second_ + 1, kWindowSeconds);
        const double windowRate = static_cast<double>(windowSum_) / static_cast<double>(seen);
        if (second_ + 1 >= kMinSeconds)
            smoothed_ = smoothed_ < 0 ? windowRate : smoothed_ + kStep * (windowRate - smoothed_);
        ++second_;
        unsigned& oldest = buckets_[static_cast<size_t>(second_ % kWindowSeconds)];
        windowSum_ -= oldest;
        oldest = 0;
    }
}

void ProgressMeter::Add(int phase, unsigned units)
{
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp(phase, clock_());
    buckets_[static_cast<size_t>(second_ % kWindowSeconds)] += units;
    windowSum_ += units;
    done_ += static_cast<int>(units);
}

ProgressMeter::Reading ProgressMeter::Read(int phase, long remaining)
{
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUp(phase, clock_());
    Reading reading;
    reading.done = done_;
    if (phase == 0 || smoothed_ < 0)
        return reading;
    reading.rate = smoothed_;
    // Nothing done in the whole window is a stall, not a slow rate.
    if (remaining <= 0 || windowSum_ == 0 || smoothed_ <= 0)
        return reading;
    const double seconds = static_cast<double>(remaining) / smoothed_;
    if (std::isfinite(seconds) && seconds <= kLongestSeconds)
        reading.secondsLeft = static_cast<int>(std::lround(seconds));
    return reading;
}

QString timeLeftText(int secondsLeft)
{
    if (secondsLeft < 0)
        return QString();
    // Under two minutes in steps of 5 s, so that a minute's rounding never halves or doubles it.
    if (secondsLeft < 120)
        return QString("About %1 s left").arg(std::max(5, (secondsLeft + 2) / 5 * 5));
    const int minutes = (secondsLeft + 30) / 60;
    if (minutes < 60)
        return QString("About %1 min left").arg(minutes);
    if (minutes % 60 == 0)
        return QString("About %1 h left").arg(minutes / 60);
    return QString("About %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

namespace
{

// The phase a state works in: the walk, the search, processing (with its wait for the last
// jobs); 0 for the others.
int phaseOf(int state)
{
    switch (state) {
    case CQZClipwatch::cwsFindDirectories:
    case CQZClipwatch::cwsFindClips:
        return state;
    case CQZClipwatch::cwsProcessingClips:
    case CQZClipwatch::cwsWaitingForProcesses:
        return CQZClipwatch::cwsProcessingClips;
    default:
        return 0;
    }
}

} // namespace

void CQZClipwatch::CountWork(int phase)
{
    if (phaseOf(state) == phase)
        progress_.Add(phase);
}

void CQZClipwatch::JobEnded()
{
    CountWork(cwsProcessingClips);
}

ProgressFigures CQZClipwatch::Progress() const
{
    const auto count = [this](dbCwsCount kind) { return std::max(0, counts[kind].load()); };
    ProgressFigures figures;
    figures.state = state;
    const int phase = phaseOf(figures.state);
    long remaining = 0;
    if (phase == cwsFindClips) {
        figures.done = count(CWS_COUNT_SEARCHED);
        figures.total = std::max(figures.done, count(CWS_COUNT_DIRECTORIES));
        remaining = figures.total - figures.done;
    } else if (phase == cwsProcessingClips) {
        // A waiting clip waits for every element made; a started one has its jobs in progress.
        const long elements =
            static_cast<long>(std::bitset<32>(cwsMadeElements(Settings())).count());
        figures.done = count(CWS_COUNT_PROCESSES_COMPLETED) + count(CWS_COUNT_PROCESSES_ERRORED);
        remaining = count(CWS_COUNT_WAITING) * elements + count(CWS_COUNT_PROCESSES_IN_PROGRESS) +
                    count(CWS_COUNT_MD5_IN_PROGRESS);
        figures.total = figures.done + static_cast<int>(remaining);
    }
    const ProgressMeter::Reading reading = progress_.Read(phase, remaining);
    if (phase == cwsFindDirectories)
        figures.done = reading.done;
    else if (phase == 0)
        figures.total = 0;
    figures.rate = reading.rate;
    figures.secondsLeft = reading.secondsLeft;
    return figures;
}

void CQZClipwatch::ShowTimeLeft()
{
    const QString text = timeLeftText(Progress().secondsLeft);
    if (text != LabelText(TimeLeftLabel))
        Show(TimeLeftLabel, text);
}
