// The service list, its answering marks and the choice of the least busy service.
#include "scanner/servicepool.h"

#include "platform/vexorequests.h"

#include <QString>

#include <algorithm>

void ServicePool::Use(const std::string& list, const std::string& host)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!services_.empty() && list == list_ && host == host_)
        return;
    list_ = list;
    host_ = host;
    std::vector<std::string> addresses;
    for (const QString& entry : QString::fromStdString(list).split(';', Qt::SkipEmptyParts))
        if (!entry.trimmed().isEmpty())
            addresses.push_back(entry.trimmed().toStdString());
    if (addresses.empty())
        addresses.push_back(host);
    std::vector<Service> services;
    for (const std::string& address : addresses) {
        const auto known = std::find_if(services_.begin(), services_.end(),
                                        [&](const Service& s) { return s.address == address; });
        services.push_back({address,
                            QString::fromStdString("http://" + vexoServiceAuthority(address) + "/"),
                            known == services_.end() || known->answering});
    }
    services_ = std::move(services);
}

std::vector<std::string> ServicePool::Addresses() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> addresses;
    for (const Service& s : services_)
        addresses.push_back(s.address);
    return addresses;
}

std::string ServicePool::Choose(const QStringList& jobs) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (services_.empty())
        return host_;
    std::vector<int> inFlight(services_.size(), 0);
    for (const QString& job : jobs)
        for (size_t i = 0; i < services_.size(); ++i)
            if (job.startsWith(services_[i].prefix, Qt::CaseInsensitive)) {
                ++inFlight[i];
                break;
            }
    const bool anyAnswering = std::any_of(services_.begin(), services_.end(),
                                          [](const Service& s) { return s.answering; });
    size_t best = services_.size();
    for (size_t i = 0; i < services_.size(); ++i) {
        if (anyAnswering && !services_[i].answering)
            continue;
        if (best == services_.size() || inFlight[i] < inFlight[best])
            best = i;
    }
    return services_[best].address;
}

void ServicePool::SetAnswering(const std::string& address, bool answering)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (Service& s : services_)
        if (s.address == address)
            s.answering = answering;
}

int ServicePool::Answering() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(services_.begin(), services_.end(),
                                          [](const Service& s) { return s.answering; }));
}

int ServicePool::Size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(services_.size());
}
