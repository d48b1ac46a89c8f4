// ServicePool: the transcoding services of one instance and the choice of the one that takes
// each new job. A service answers until a request to it fails for want of the network, and
// again once it answers the address request. Thread-safe (own mutex): the scanning thread
// chooses, any thread that sends a request marks.
#pragma once

#include <QStringList>

#include <mutex>
#include <string>
#include <vector>

class ServicePool
{
public:
    // Serves the ";"-separated service addresses ("address:port") of `list`, or `host` alone
    // when the list names none. An address that stays keeps what is known of it.
    void Use(const std::string& list, const std::string& host);
    // The addresses, in the order given.
    std::vector<std::string> Addresses() const;
    // The service for a new job: of the answering services the one with the fewest of `jobs`
    // (job strings) in flight, the first of equals; when none answers, the one with the fewest
    // of all (its request then fails as any request to a silent service does).
    std::string Choose(const QStringList& jobs) const;
    void SetAnswering(const std::string& address, bool answering);
    // Services answering now, and services served.
    int Answering() const;
    int Size() const;

private:
    struct Service {
        std::string address;   // as given: "host" or "host:port"
        QString prefix;        // what the URLs of its jobs begin with
        bool answering = true; // no request to it has failed since it last answered
    };

    mutable std::mutex mutex_;      // guards everything below
    std::string list_;              // the list Use was last given ...
    std::string host_;              // ... and the host
    std::vector<Service> services_; // in the order given
};
