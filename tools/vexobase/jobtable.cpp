// The job table: bookkeeping of jobs under one mutex, and the queue the workers take from.
#include "tools/vexobase/jobtable.h"

#include "tools/vexobase/query.h"

namespace vexobase
{

namespace
{

bool sameIgnoringCase(const JobKey& a, const JobKey& b)
{
    return toLower(a.client) == toLower(b.client) && toLower(a.source) == toLower(b.source) &&
           toLower(a.target) == toLower(b.target) && toLower(a.profile) == toLower(b.profile);
}

template <typename Map, typename It> It locateIn(Map& entries, const JobKey& key, It end)
{
    It exact = entries.find(key);
    if (exact != end)
        return exact;
    It found = end;
    for (It it = entries.begin(); it != end; ++it) {
        if (!sameIgnoringCase(it->first, key))
            continue;
        if (found != end)
            return end; // ambiguous
        found = it;
    }
    return found;
}

} // namespace

JobTable::Entries::iterator JobTable::locate(const JobKey& key)
{
    return locateIn(entries_, key, entries_.end());
}

JobTable::Entries::const_iterator JobTable::locate(const JobKey& key) const
{
    return locateIn(entries_, key, entries_.cend());
}

JobTable::Entry* JobTable::byId(unsigned long long id)
{
    auto key = keys_.find(id);
    return key == keys_.end() ? nullptr : &entries_.at(key->second);
}

void JobTable::erase(Entries::iterator it)
{
    it->second.cancelled->store(true);
    keys_.erase(it->second.id);
    entries_.erase(it);
}

bool JobTable::start(const JobOrder& order)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(order.key);
    if (it != entries_.end()) {
        if (it->second.status.state != JobState::Ended)
            return false;
        erase(it);
    }
    const unsigned long long id = nextId_++;
    entries_.emplace(order.key,
                     Entry{id, order, JobStatus{}, std::make_shared<std::atomic<bool>>(false)});
    keys_.emplace(id, order.key);
    queue_.push_back(id);
    queued_.notify_one();
    return true;
}

std::optional<JobView> JobTable::find(const JobKey& key) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = locate(key);
    if (it == entries_.end())
        return std::nullopt;
    return JobView{it->second.order, it->second.status};
}

bool JobTable::purge(const JobKey& key)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = locate(key);
    if (it == entries_.end())
        return false;
    erase(it);
    return true;
}

std::optional<JobView> JobTable::abort(const JobKey& key, bool clear)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = locate(key);
    if (it == entries_.end())
        return std::nullopt;
    JobView before{it->second.order, it->second.status};
    if (clear) {
        erase(it);
        return before;
    }
    it->second.cancelled->store(true);
    if (it->second.status.state != JobState::Ended)
        it->second.status = JobStatus{JobState::Ended, kProgressFailed, -1, "aborted"};
    return before;
}

int JobTable::purgeEnded(const std::string& client)
{
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (auto it = entries_.begin(); it != entries_.end();) {
        auto next = std::next(it);
        const bool clientMatches = client == "all" || it->first.client == client;
        if (clientMatches && it->second.status.state == JobState::Ended) {
            erase(it);
            ++count;
        }
        it = next;
    }
    return count;
}

std::vector<JobView> JobTable::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<JobView> views;
    views.reserve(entries_.size());
    for (const auto& entry : entries_)
        views.push_back(JobView{entry.second.order, entry.second.status});
    return views;
}

size_t JobTable::size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

std::optional<JobTicket> JobTable::takeNext()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return shutdown_ || !queue_.empty(); });
        if (shutdown_)
            return std::nullopt;
        const unsigned long long id = queue_.front();
        queue_.pop_front();
        Entry* entry = byId(id);
        if (!entry || entry->status.state != JobState::Queued)
            continue;
        entry->status.state = JobState::Running;
        return JobTicket{id, entry->order, entry->cancelled};
    }
}

void JobTable::setProgress(unsigned long long id, int progress)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = byId(id);
    if (entry && entry->status.state == JobState::Running)
        entry->status.progress = progress;
}

void JobTable::finish(unsigned long long id, int progress, int result, const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = byId(id);
    if (entry && entry->status.state == JobState::Running)
        entry->status = JobStatus{JobState::Ended, progress, result, text};
}

void JobTable::forget(unsigned long long id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = keys_.find(id);
    if (key != keys_.end())
        erase(entries_.find(key->second));
}

void JobTable::shutdown()
{
    std::lock_guard<std::mutex> lock(mutex_);
    shutdown_ = true;
    for (auto& entry : entries_)
        entry.second.cancelled->store(true);
    queued_.notify_all();
}

} // namespace vexobase
