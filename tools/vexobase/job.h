// A job of the service: what was asked (the order) and how far it has come (the status).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <tuple>

namespace vexobase
{

// A job is named by its client, source, target and profile.
struct JobKey {
    std::string client;
    std::string source;
    std::string target;
    std::string profile;

    bool operator<(const JobKey& other) const
    {
        return std::tie(client, source, target, profile) <
               std::tie(other.client, other.source, other.target, other.profile);
    }
};

// What a fault-injected job does instead of its work.
enum class Fault { None, Fail, Lost, Forget, Stall, Slow, Refuse };

// What was asked of a job, fixed when it is started.
struct JobOrder {
    JobKey key;
    int width = 0;       // output width in pixels, 0: the source's
    int height = 0;      // output height in pixels, 0: the source's
    int kilobitrate = 0; // video data rate, 0: the profile's default
    std::string frame;   // picon frame: a frame number, or "-P" / "P%" for P percent
    int quality = 90;    // picon JPEG quality 1..100
    Fault fault = Fault::None;
};

// Progress values reported to clients.
constexpr int kProgressDone = 10000;
constexpr int kProgressFailed = -1;
constexpr int kProgressLost = -2;

enum class JobState { Queued, Running, Ended };

// How far a job has come.
struct JobStatus {
    JobState state = JobState::Queued;
    int progress = 0;         // 0..10000, or kProgressFailed / kProgressLost
    int result = 0;           // 0 success, else the failure code
    std::string resultString; // the result (MD5 digest) or the error text
};

// A job handed to a worker: its id, its order and the flag that asks it to stop.
struct JobTicket {
    unsigned long long id = 0;
    JobOrder order;
    std::shared_ptr<std::atomic<bool>> cancelled;
};

} // namespace vexobase
