// Progress recording for the instance, removal of the job strings of dropped elements and the
// abort of stalled jobs.
#include "monitor/stalledjobs.h"

#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch.h"
#include "scanner/clipwatch_p.h"
#include "vexoutil/iputil.h"

#include <QMutexLocker>

namespace
{

std::string uniform(const QString& text)
{
    return bytesOfText(vexoFixSeperators(text));
}

void abortStalled(CQZClipwatch* instance, const ProgressElement& e, uint32_t minutes)
{
    const CWSSettings s = instance->Settings();
    const std::string url = vexoStalledAbortRequest(s.serviceHost, s.cmdip, uniform(e.source),
                                                    uniform(e.target), uniform(e.profile));
    const std::optional<std::string> reply = cwsSendRequest(url, kVexoTimeoutMs);
    if (reply)
        ErrOut("\nNo progress update in %d minutes, kill process [%s %s %s %d] returned %s",
               static_cast<int>(minutes), qUtf8Printable(e.source), qUtf8Printable(e.target),
               qUtf8Printable(e.profile), e.progress, reply->c_str());
    else
        ErrOut("\nNo progress update in %d minutes, kill process [%s %s %s %d]",
               static_cast<int>(minutes), qUtf8Printable(e.source), qUtf8Printable(e.target),
               qUtf8Printable(e.profile), e.progress);
    RemoveElementJobStrings(instance->checkThread.jobList, e);
}

} // namespace

bool UpdateProgressElement(CQZClipwatch* instance, const QString& address, const QString& source,
                           const QString& target, const QString& profile, int progress)
{
    const CWSSettings s = instance->Settings();
    return instance->progressElements.update(address, source, target, profile, progress,
                                             static_cast<uint32_t>(s.MaxTranslations),
                                             static_cast<uint32_t>(s.MaxMD5s));
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

ProgressElements::Actions StalledJobActions(CQZClipwatch* instance)
{
    return {[instance](const ProgressElement& e) {
                RemoveElementJobStrings(instance->checkThread.jobList, e);
            },
            [instance](const ProgressElement& e, uint32_t minutes) {
                abortStalled(instance, e, minutes);
            }};
}
