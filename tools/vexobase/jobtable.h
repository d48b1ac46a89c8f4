// The job table: every job the service knows, keyed by client, source, target and profile,
// and the queue of jobs waiting for a worker.
//
// Thread-safe: one mutex guards everything; HTTP handler threads and worker threads call in.
// No call blocks on I/O; takeNext() waits for queued work.
#pragma once

#include "tools/vexobase/job.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace vexobase
{

// A job as seen from outside: its order and its status.
struct JobView {
    JobOrder order;
    JobStatus status;
};

class JobTable
{
public:
    // Queues a job. A job of the same key that is still queued or running is kept as it is
    // (returns false); an ended one is replaced by the new order.
    bool start(const JobOrder& order);

    // Finds a job by its key; when no key matches exactly, a single job whose key matches
    // ignoring case (the monitor lower-cases paths in some requests).
    std::optional<JobView> find(const JobKey& key) const;

    // Removes a job, asking its worker to stop. False when the job is unknown.
    bool purge(const JobKey& key);

    // Stops a job: it ends with progress -1 and "aborted", or is removed when `clear` is set.
    // Returns the job as it was before the abort.
    std::optional<JobView> abort(const JobKey& key, bool clear);

    // Removes the ended jobs of `client` ("all": of every client); returns how many.
    int purgeEnded(const std::string& client);

    std::vector<JobView> snapshot() const;
    size_t size() const;

    // Worker side. Waits for the next queued job and marks it running; nothing after shutdown().
    std::optional<JobTicket> takeNext();
    void setProgress(unsigned long long id, int progress);
    void finish(unsigned long long id, int progress, int result, const std::string& text);
    // The job disappears from the table as if it had never been started.
    void forget(unsigned long long id);
    void shutdown();

private:
    struct Entry {
        unsigned long long id;
        JobOrder order;
        JobStatus status;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    using Entries = std::map<JobKey, Entry>;

    Entries::iterator locate(const JobKey& key);
    Entries::const_iterator locate(const JobKey& key) const;
    Entry* byId(unsigned long long id);
    void erase(Entries::iterator it);

    mutable std::mutex mutex_;
    std::condition_variable queued_;
    Entries entries_;
    std::map<unsigned long long, JobKey> keys_; // id -> key of every entry
    std::deque<unsigned long long> queue_;      // ids waiting; purged ids are skipped
    unsigned long long nextId_ = 1;
    bool shutdown_ = false;
};

} // namespace vexobase
