// Fault injection: source markers, control requests and silent periods.
#include "tools/vexobase/faults.h"

namespace vexobase
{

namespace
{

const std::pair<Fault, const char*> kFaultNames[] = {
    {Fault::None, "none"},     {Fault::Fail, "fail"},   {Fault::Lost, "lost"},
    {Fault::Forget, "forget"}, {Fault::Stall, "stall"}, {Fault::Slow, "slow"},
    {Fault::Refuse, "refuse"},
};

const char* const kMarker = "vexofault-";

bool faultByName(const std::string& name, Fault& fault)
{
    for (const auto& entry : kFaultNames)
        if (name == entry.second) {
            fault = entry.first;
            return true;
        }
    return false;
}

} // namespace

const char* faultName(Fault fault)
{
    for (const auto& entry : kFaultNames)
        if (entry.first == fault)
            return entry.second;
    return "none";
}

Fault faultFromMarker(const std::string& source)
{
    const std::string lower = toLower(source);
    const size_t at = lower.rfind(kMarker);
    if (at == std::string::npos)
        return Fault::None;
    const std::string rest = lower.substr(at + std::char_traits<char>::length(kMarker));
    for (const auto& entry : kFaultNames)
        if (entry.first != Fault::None && rest.rfind(entry.second, 0) == 0)
            return entry.first;
    return Fault::None;
}

Fault FaultControl::faultForNewJob(const std::string& source)
{
    const Fault marked = faultFromMarker(source);
    if (marked != Fault::None)
        return marked;
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == 0)
        return Fault::None;
    if (count_ > 0)
        --count_;
    return fault_;
}

std::string FaultControl::apply(const Query& query)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (query.has("fault")) {
        if (!faultByName(toLower(query.get("fault")), fault_))
            return "unknown fault";
        count_ = query.getInt("count", -1);
    }
    const std::pair<const char*, int*> numbers[] = {
        {"delay", &delayMs_}, {"slowms", &slowMs_}, {"failresult", &failResult_}};
    for (const auto& number : numbers) {
        if (!query.has(number.first))
            continue;
        const int value = query.getInt(number.first, -1);
        if (value < 0)
            return std::string("bad value for ") + number.first;
        *number.second = value;
    }
    if (query.has("silent")) {
        const int ms = query.getInt("silent", -1);
        if (ms < 0)
            return "bad value for silent";
        silentUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    return {};
}

int FaultControl::replyDelayMs(Fault fault) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fault == Fault::Slow ? std::max(slowMs_, delayMs_) : delayMs_;
}

int FaultControl::failResult() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return failResult_;
}

int FaultControl::silenceLeftMs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        silentUntil_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace vexobase
