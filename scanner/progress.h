// Progress of an instance's working phase: the rate of work done over a sliding window of the
// last minute, smoothed, and the time left it gives for the work that remains; and the panel
// text of that time.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

// What an instance reports of its progress (CQZClipwatch::Progress).
struct ProgressFigures {
    int state = 0;        // the instance's state
    int done = 0;         // folders walked, folders searched, or element jobs ended
    int total = -1;       // done and what remains; -1 while unknown (the walk)
    double rate = 0;      // smoothed units of work per second; 0 while unknown
    int secondsLeft = -1; // estimated seconds until the phase ends; -1 while unknown
};

// The rate of one phase of work and the time left. Phases are the instance's working states;
// work counted in another phase than the meter's starts it afresh. Safe on any thread (own
// mutex). The clock gives milliseconds of a steady clock; tests inject their own.
class ProgressMeter
{
public:
    using Clock = std::function<int64_t()>;

    // What Read gives.
    struct Reading {
        double rate = 0;      // smoothed units per second; 0 before kMinSeconds of the phase
        int secondsLeft = -1; // -1 when nothing remains, the rate is 0 or too little is known
        int done = 0;         // units counted since the phase began
    };

    static constexpr int kWindowSeconds = 60;       // span of the rate's sliding window
    static constexpr double kSmoothSeconds = 30;    // time constant of the rate's smoothing
    static constexpr int kMinSeconds = 20;          // data needed before any estimate
    static constexpr int kLongestSeconds = 8640000; // longer estimates (100 days) are not shown

    explicit ProgressMeter(Clock clock = steadyMs);

    // Counts `units` of work done now in `phase`.
    void Add(int phase, unsigned units = 1);
    // The rate of `phase` and the time left for `remaining` units (phase 0: none).
    Reading Read(int phase, long remaining);

    // Milliseconds of std::chrono::steady_clock.
    static int64_t steadyMs();

private:
    // Moves to `phase` (afresh when it is another) and closes every second up to `now`.
    void CatchUp(int phase, int64_t now);

    Clock clock_;
    std::mutex mutex_;                             // guards everything below
    int phase_ = 0;                                // the phase being measured
    int64_t startMs_ = 0;                          // clock when the phase began
    int64_t second_ = 0;                           // the open second, counted from startMs_
    std::array<unsigned, kWindowSeconds> buckets_; // units per second of the window, circular
    unsigned long windowSum_ = 0;                  // sum of buckets_
    double smoothed_ = -1;                         // smoothed rate; -1 before kMinSeconds
    int done_ = 0;                                 // units since the phase began
};

// The panel text for `secondsLeft`: "About 40 s left", "About 12 min left", "About 2 h 5 min
// left"; empty when it is negative.
QString timeLeftText(int secondsLeft);
