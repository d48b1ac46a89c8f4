// Progress elements: what the monitor remembers of each job's progress, and the rules that end
// jobs the service lost, no longer reports or that stopped moving. One mutex guards the list for
// every update and for clearing, so the instance can empty it while the monitor still runs.
// Used on the monitor's thread; clear() on any thread.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// One job seen by the monitor.
struct ProgressElement {
    QString address;         // service address from the status reply
    QString source;          // job source, lower-cased
    QString target;          // job target, lower-cased
    QString profile;         // job profile, lower-cased
    int progress = 0;        // last progress recorded
    uint32_t lastChange = 0; // clock value at the last change (or creation)
};

class ProgressElements
{
public:
    static constexpr uint32_t kEndedDropMs = 10000;       // ended elements of other jobs
    static constexpr uint32_t kWaitingDropMs = 120000;    // while the polled job waits at 0
    static constexpr uint32_t kStalledAbortMs = 14400000; // four hours without a change

    // What the rules ask of the owner: remove the job strings that name an element, and abort a
    // stalled job on the service (`minutes` since its last change).
    struct Actions {
        std::function<void(const ProgressElement&)> removeJobStrings;
        std::function<void(const ProgressElement&, uint32_t minutes)> abortStalled;
    };

    // `clock` gives the millisecond clock (vsyncGetCurMs unless a test replaces it).
    ProgressElements(Actions actions, std::function<uint32_t()> clock);

    // Records `progress` for the job named by source, target and profile and applies the rules
    // to every other element. True (final) when the job's progress has ended (10000, -1, -2).
    bool update(const QString& address, const QString& source, const QString& target,
                const QString& profile, int progress, uint32_t maxTranslations, uint32_t maxMD5s);

    // Empties the list.
    void clear();

    // A copy of the elements, for status display and tests.
    std::vector<ProgressElement> snapshot() const;

    // Most elements kept for the given limits: min(200, translations) + min(200, MD5s) + 100.
    static uint32_t capacity(uint32_t maxTranslations, uint32_t maxMD5s);

private:
    // Work of the rules done after the lock is released (it takes the job list's lock or sends
    // a request).
    struct Pending {
        std::vector<ProgressElement> expired;                      // job strings to remove
        std::vector<std::pair<ProgressElement, uint32_t>> stalled; // jobs to abort, minutes
    };

    // The walk over the elements under the lock; true when the job's own element was found.
    bool updateLocked(const QString& address, const QString& source, const QString& target,
                      const QString& profile, int& progress, uint32_t maxTranslations,
                      uint32_t maxMD5s, bool& final, Pending& pending);
    // Applies the rules to the job's own element; true when it is to be removed.
    bool updateOwn(ProgressElement& e, int& progress, const QString& source, const QString& target,
                   const QString& profile, uint32_t now, bool& final, Pending& pending);
    // True when another job's element is to be removed.
    bool expireOther(const ProgressElement& e, int progress, const QString& source,
                     const QString& target, const QString& profile, uint32_t now, Pending& pending);

    mutable std::mutex mutex;              // guards `elements`
    std::vector<ProgressElement> elements; // in order of creation
    Actions actions;                       // the owner's side of the rules
    std::function<uint32_t()> clock;       // millisecond clock
};
