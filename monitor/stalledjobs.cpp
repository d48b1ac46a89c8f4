// Progress recording for the instance, removal of the job strings of dropped elements and the
// abort of stalled jobs.
#include "monitor/stalledjobs.h"

#include "monitor/jobowner.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/vexorequests.h"
#include "vexoutil/iputil.h"

#include <QMutexLocker>

namespace
{

std::string uniform(const QString& text)
{
    return bytesOfText(vexoFixSeperators(text));
}

// True when `job` is a job string of element `e` (a job of its source, target and profile).
bool namesElement(const QString& job, const ProgressElement& e)
{
    return job.contains("source=" + e.source) && job.contains("target=" + e.target) &&
           job.contains("profile=" + e.profile);
}

// The service that took the job of `e`: the address its job string was sent to, or the
// owner's service host when no job string names it.
std::string serviceOf(JobOwner* owner, const ProgressElement& e)
{
    const QString start = "http://";
    for (const QString& job : owner->Jobs().snapshot()) {
        const int end = job.indexOf('/', start.size());
        if (namesElement(job, e) && job.startsWith(start) && end > start.size())
            return bytesOfText(job.mid(start.size(), end - start.size()));
    }
    return owner->JobSettingsNow().serviceHost;
}

void abortStalled(JobOwner* owner, const ProgressElement& e, uint32_t minutes)
{
    const JobSettings s = owner->JobSettingsNow();
    const std::string url =
        vexoStalledAbortRequest(serviceOf(owner, e), s.commandAddress, uniform(e.source),
                                uniform(e.target), uniform(e.profile));
    const std::optional<std::string> reply = vexoSendRequest(url, kVexoTimeoutMs);
    if (reply)
        ErrOut("\nNo progress update in %d minutes, kill process [%s %s %s %d] returned %s",
               static_cast<int>(minutes), qUtf8Printable(e.source), qUtf8Printable(e.target),
               qUtf8Printable(e.profile), e.progress, reply->c_str());
    else
        ErrOut("\nNo progress update in %d minutes, kill process [%s %s %s %d]",
               static_cast<int>(minutes), qUtf8Printable(e.source), qUtf8Printable(e.target),
               qUtf8Printable(e.profile), e.progress);
    RemoveElementJobStrings(owner->Jobs(), e);
}

} // namespace

bool UpdateProgressElement(JobOwner* owner, const QString& address, const QString& source,
                           const QString& target, const QString& profile, int progress)
{
    const JobSettings s = owner->JobSettingsNow();
    return owner->JobProgress().update(address, source, target, profile, progress,
                                       s.maxTranslations, s.maxMD5s);
}

void RemoveElementJobStrings(QStringListThreadSafe& jobs, const ProgressElement& e)
{
    // "source=" alone would name every job.
    if (e.source.isEmpty())
        return;
    QMutexLocker locker(jobs.lock());
    for (const QString& job : jobs.snapshot())
        if (namesElement(job, e))
            jobs.removeLast(job);
}

ProgressElements::Actions StalledJobActions(JobOwner* owner)
{
    return {
        [owner](const ProgressElement& e) { RemoveElementJobStrings(owner->Jobs(), e); },
        [owner](const ProgressElement& e, uint32_t minutes) { abortStalled(owner, e, minutes); }};
}
