// Progress element rules: regressions, error codes, ended, waiting and stalled jobs.
#include "monitor/progresselements.h"

#include "platform/qzlog.h"

#include <algorithm>

namespace
{

bool hasEnded(int progress)
{
    return progress == 10000 || progress == -1 || progress == -2;
}

const char* utf8(const QString& text, QByteArray& holder)
{
    holder = text.toUtf8();
    return holder.constData();
}

} // namespace

ProgressElements::ProgressElements(Actions actions, std::function<uint32_t()> clock)
    : actions(std::move(actions)), clock(std::move(clock))
{
}

uint32_t ProgressElements::capacity(uint32_t maxTranslations, uint32_t maxMD5s)
{
    return std::min(200u, maxTranslations) + std::min(200u, maxMD5s) + 100u;
}

bool ProgressElements::updateOwn(ProgressElement& e, int& progress, const QString& source,
                                 const QString& target, const QString& profile, uint32_t now,
                                 bool& final, Pending& pending)
{
    QByteArray s, t, p;
    if (e.progress != progress) {
        if (progress < e.progress) {
            if (progress < 0)
                ErrOut("\nProgress error last progress %d error code %d %s %s %s", e.progress,
                       progress, utf8(source, s), utf8(target, t), utf8(profile, p));
            else
                ErrOut("\nProgress regressed %d %d %s %s %s", e.progress, progress, utf8(source, s),
                       utf8(target, t), utf8(profile, p));
            if (!hasEnded(progress))
                progress = e.progress;
        }
        e.progress = progress;
        e.lastChange = now;
    }
    if (hasEnded(e.progress)) {
        final = true;
        return true;
    }
    if (now - e.lastChange > kStalledAbortMs) {
        pending.stalled.push_back({e, (now - e.lastChange) / 60000});
        return true;
    }
    return false;
}

bool ProgressElements::expireOther(const ProgressElement& e, int progress, const QString& source,
                                   const QString& target, const QString& profile, uint32_t now,
                                   Pending& pending)
{
    const uint32_t idle = now - e.lastChange;
    if (hasEnded(e.progress) && idle > kEndedDropMs) {
        pending.expired.push_back(e);
        return true;
    }
    if (progress == 0 && idle > kWaitingDropMs) {
        QByteArray s, t, p;
        ErrOut("Translation wiating for %u ms progress = %d %s %s %s", idle, 0, utf8(source, s),
               utf8(target, t), utf8(profile, p));
        pending.expired.push_back(e);
        return true;
    }
    return false;
}

bool ProgressElements::update(const QString& address, const QString& sourceIn,
                              const QString& targetIn, const QString& profileIn, int progress,
                              uint32_t maxTranslations, uint32_t maxMD5s)
{
    const QString source = sourceIn.toLower();
    const QString target = targetIn.toLower();
    const QString profile = profileIn.toLower();
    Pending pending;
    bool found = false;
    bool final = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        found = updateLocked(address, source, target, profile, progress, maxTranslations, maxMD5s,
                             final, pending);
    }
    for (const ProgressElement& e : pending.expired)
        if (actions.removeJobStrings)
            actions.removeJobStrings(e);
    for (const auto& [e, minutes] : pending.stalled)
        if (actions.abortStalled)
            actions.abortStalled(e, minutes);
    if (final) {
        QByteArray a, s, t, p;
        ErrOut("\n%s Purge %s %s %s %s progress %d", found ? "Found " : "Not found ",
               utf8(address, a), utf8(source, s), utf8(target, t), utf8(profile, p), progress);
    }
    return final;
}

bool ProgressElements::updateLocked(const QString& address, const QString& source,
                                    const QString& target, const QString& profile, int& progress,
                                    uint32_t maxTranslations, uint32_t maxMD5s, bool& final,
                                    Pending& pending)
{
    const uint32_t now = clock();
    bool found = false;
    size_t i = 0;
    while (i < elements.size() && !found) {
        ProgressElement& e = elements[i];
        bool remove;
        if (e.source == source && e.target == target && e.profile == profile) {
            found = true;
            remove = updateOwn(e, progress, source, target, profile, now, final, pending);
        } else {
            remove = expireOther(e, progress, source, target, profile, now, pending);
        }
        if (remove)
            elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    if (!found) {
        if (elements.size() < capacity(maxTranslations, maxMD5s))
            elements.push_back({address, source, target, profile, progress, now});
        final = hasEnded(progress);
    }
    return found;
}

void ProgressElements::clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    elements.clear();
}

std::vector<ProgressElement> ProgressElements::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return elements;
}
