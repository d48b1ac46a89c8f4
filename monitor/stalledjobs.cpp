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

void abortStalled(JobOwner* owner, const ProgressElement& e, uint32_t minutes)
{
    const JobSettings s = owner->JobSettingsNow();
    const std::string url = vexoStalledAbortRequest(
        s.serviceHost, s.commandAddress, uniform(e.source), uniform(e.target), uniform(e.profile));
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
    const QString source = "source=" + e.source;
    const QString target = "target=" + e.target;
    const QString profile = "profile=" + e.profile;
    QMutexLocker locker(jobs.lock());
    for (const QString& job : jobs.snapshot())
        if (job.contains(source) && job.contains(target) && job.contains(profile))
            jobs.removeLast(job);
}

ProgressElements::Actions StalledJobActions(JobOwner* owner)
{
    return {
        [owner](const ProgressElement& e) { RemoveElementJobStrings(owner->Jobs(), e); },
        [owner](const ProgressElement& e, uint32_t minutes) { abortStalled(owner, e, minutes); }};
}
