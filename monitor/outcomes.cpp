// What the monitor does with a status reply about the polled job: the match of reply and job,
// the ended (finished or failed), running, lost and missing outcomes, and the purge.
#include "db/dbcws.h"
#include "monitor/checkthread.h"
#include "monitor/completion.h"
#include "monitor/jobowner.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"
#include "platform/vexorequests.h"

namespace
{

bool sameBlind(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isCompFile(int code)
{
    return code == static_cast<int>(CWS_ELEMENT_PROXY) ||
           code == static_cast<int>(CWS_ELEMENT_MEZZANINE);
}

} // namespace

bool QCheckThread::Matches(const Poll& p) const
{
    if (!sameBlind(p.replySource, p.requestSource))
        return false;
    if (!p.replyTarget.isEmpty() && !p.requestTarget.isEmpty()) {
        if (!sameBlind(p.replyTarget, p.requestTarget))
            return false;
    } else if (isCompFile(p.request.elementCode)) {
        ErrOut("\nClipwatch : VexoCopy request has no target");
        if (!p.replyTarget.isEmpty() || !sameBlind(p.reply.resultString, "process crashed"))
            return false;
    }
    return sameBlind(p.reply.profile, p.request.profile);
}

void QCheckThread::Ended(Poll& p)
{
    const unsigned code = static_cast<unsigned>(p.request.elementCode);
    const QString& result = p.reply.resultString;
    if (p.reply.progress == 10000 && p.reply.result == 0) {
        const int written = Write(p, code, QZ_FINISHED, result, p.replyTarget, result);
        ErrOut(written != 0 ? "\nClipwatch complete Process database write failed source %s type "
                              "%d result %s target %s state %d result %s"
                            : "\nClipwatch complete Process source %s type %d result %s target "
                              "%s state %d result %s",
               qUtf8Printable(p.request.source), p.request.elementCode, qUtf8Printable(result),
               qUtf8Printable(p.replyTarget), QZ_FINISHED, qUtf8Printable(result));
        if (written != 0) {
            // Written again on a later poll.
            ErrOut("\nClipwatch Database Write Error");
            return;
        }
    } else {
        ErrOut("\nClipwatch error : %s %s %s %d", qUtf8Printable(p.replySource),
               qUtf8Printable(p.replyTarget), qUtf8Printable(p.reply.profile), p.reply.progress);
        const QString text = p.resultText.isEmpty()
                                 ? QString::asprintf("Error %d (0x%08X)", p.reply.result,
                                                     static_cast<unsigned>(p.reply.result))
                                 : p.resultText;
        Write(p, code, QZ_ERROR, text, std::nullopt, result);
    }
    Update(p.replySource, p.replyTarget, p.reply.profile, p.reply.progress);
    Finish(p, true);
}

void QCheckThread::Running(Poll& p)
{
    if (Update(p.replySource, p.replyTarget, p.reply.profile, p.reply.progress)) {
        LostProcess(p);
        return;
    }
    const int progress = p.reply.progress;
    if (p.request.elementCode != static_cast<int>(CWS_ELEMENT_MD5) && pollCount_ % 4 == 0)
        Write(p, static_cast<unsigned>(p.request.elementCode), QZ_IN_PROGRESS,
              QString("%1 %2 %3 %4")
                  .arg(p.replySource, p.replyTarget, p.reply.profile, QString::number(progress)),
              std::nullopt, QString("Progress %1% Complete").arg(progress / 100.0, 0, 'f', 2));
    if (p.request.countdown != -1) {
        // Seen running: from now on followed like a job that was sent.
        QString copy = p.request.jobCopy;
        jobList.append(copy.remove("cwstimeout="));
    }
}

void QCheckThread::LostProcess(Poll& p)
{
    const QString lost("lost process");
    Write(p, static_cast<unsigned>(p.request.elementCode), QZ_LOST_PROCESS, lost, lost, lost);
    Update(p.request.source, p.replyTarget, p.request.profile + " " + p.reply.profile, -2);
    Finish(p, false);
}

void QCheckThread::MissingProcess(Poll& p)
{
    ErrOut("\nMissing Process %s %s %s returned %s %s %s", qUtf8Printable(p.replySource),
           qUtf8Printable(p.replyTarget), qUtf8Printable(p.reply.profile),
           qUtf8Printable(p.requestSource), qUtf8Printable(p.requestTarget),
           qUtf8Printable(p.request.profile));
    Update(p.request.source, p.replyTarget, p.request.profile + " " + p.reply.profile, -2);
    Finish(p, false);
    const QString purged("lost process purged");
    Write(p, static_cast<unsigned>(p.request.elementCode), QZ_LOST_PROCESS, purged, purged, purged);
    // The check in Finish ran before the element was written: the clip is settled only now.
    CheckClipCompletion(owner, bytesOfText(p.request.source));
}

void QCheckThread::Finish(const Poll& p, bool logPurge)
{
    CheckClipCompletion(owner, bytesOfText(p.request.source));
    if (dbCWSLostStatements(owner->Database().get()) != p.lostAtStart) {
        ErrOut("\nClipwatch database not reached, polling again %s", qUtf8Printable(p.job));
        if (p.request.hasCountdown)
            jobList.append(p.job); // taken out when the poll began
        return;
    }
    jobList.removeFirst(p.job);
    owner->JobEnded();
    Purge(p, logPurge);
}

void QCheckThread::Purge(const Poll& p, bool logReply)
{
    const std::string url = vexoPurgeRequest(bytesOfText(p.request.statusUrl));
    const uint32_t began = vsyncGetCurMs();
    const std::optional<std::string> reply = vexoSendRequest(url, kVexoTimeoutMs);
    if (reply && logReply)
        ErrOut("\nPurge from vexobase (%d ms ) %s return %s",
               static_cast<int>(vsyncGetCurMs() - began), url.c_str(), reply->c_str());
}
