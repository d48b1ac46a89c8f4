// The job monitor's loop and the poll of one job: status request, reply reading, the
// "copy not found" countdown and the hand-over to the outcome of the reply.
#include "monitor/checkthread.h"

#include "db/dbcws.h"
#include "monitor/completion.h"
#include "monitor/jobowner.h"
#include "monitor/stalledjobs.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"
#include "platform/vexorequests.h"
#include "vexoutil/iputil.h"

#include <algorithm>

namespace
{

constexpr uint32_t kIdleRestMs = 1000; // a cycle without jobs
constexpr uint32_t kMaxRestMs = 200;   // most rest after a pass over the jobs
constexpr uint32_t kBetweenJobsMs = 2;
constexpr uint32_t kRestStepMs = 20; // how often a rest looks for the instance's end

} // namespace

bool QCheckThread::KeepGoing() const
{
    return !owner || owner->KeepGoing(Work::Following);
}

void QCheckThread::Rest(uint32_t ms) const
{
    for (uint32_t slept = 0; slept < ms; slept += kRestStepMs) {
        if (!KeepGoing())
            return;
        Sleep(std::min(kRestStepMs, ms - slept));
    }
}

void QCheckThread::run()
{
    ErrOut("\nCWS: Begin Check Thread");
    ErrOut("\n");
    do {
        const uint32_t began = qzOSGetMs();
        if (jobList.isEmpty()) {
            Rest(kIdleRestMs);
            continue;
        }
        for (const QString& job : jobList.snapshot()) {
            if (jobList.isEmpty() || !KeepGoing())
                break;
            PollJob(job);
            Sleep(kBetweenJobsMs);
        }
        Rest(std::min(qzOSGetMs() - began, kMaxRestMs));
    } while (KeepGoing());
    jobList.clear();
    quit();
    ErrOut("\nCWS: End Check Thread");
}

void QCheckThread::PollJob(const QString& job)
{
    ++pollCount_;
    Poll p;
    p.job = job;
    p.request = parseJobString(job);
    p.lostAtStart = dbCWSLostStatements(owner->Database().get());
    // A job with a countdown lives from poll to poll: only the outcomes that say so put it back.
    if (p.request.hasCountdown)
        jobList.removeFirst(job);

    const std::optional<std::string> reply =
        vexoSendRequest(bytesOfText(p.request.statusUrl), kVexoTimeoutMs);
    if (!reply) {
        ErrOut("\nERROR:  No return from command <%s>", qUtf8Printable(p.request.statusUrl));
        return;
    }
    p.replyText = QByteArray::fromStdString(*reply);
    p.reply = parseJobReply(p.replyText, replyAddress_);
    for (int i = 0; i < p.reply.notFound; ++i)
        NotFound(p);

    p.replySource = vexoFixSeperators(p.reply.source);
    p.replyTarget = vexoFixSeperators(p.reply.target);
    p.requestSource = vexoFixSeperators(p.request.source);
    p.requestTarget = vexoFixSeperators(p.request.target);
    p.resultText = vexoFixSeperators(p.reply.resultString);
    if (p.reply.source.isEmpty() || p.reply.profile.isEmpty()) {
        if (p.request.countdown != -1)
            Update(p.reply.source, p.reply.target, p.reply.profile, -2);
        else if (p.reply.notFound > 0)
            MissingProcess(p); // the service forgot a job it had taken (it was restarted)
        return;
    }
    if (!Matches(p)) {
        if (p.request.countdown == -1)
            MissingProcess(p);
        else if (p.request.countdown > 0)
            Update(p.request.source, p.replyTarget, p.request.profile + " " + p.reply.profile, -2);
        return;
    }
    if (p.reply.progress == 10000 || p.reply.progress == -1)
        Ended(p);
    else
        Running(p);
}

void QCheckThread::NotFound(Poll& p)
{
    const int countdown = p.request.countdown;
    if (countdown == -1)
        return;
    if (countdown != 0) {
        ErrOut("\nClipwatch NOT FOUND (%d) (%s)", countdown, qUtf8Printable(p.request.source));
        jobList.append(p.request.jobCopy);
        return;
    }
    jobList.removeFirst(p.job);
    CheckClipCompletion(owner, bytesOfText(p.request.source));
    ErrOut("\nClipwatch NOT FOUND (%d) %s %s %s (%s) returned %s %s %s progress %d (%s)", 0,
           qUtf8Printable(p.request.source), qUtf8Printable(p.request.target),
           qUtf8Printable(p.request.profile), qUtf8Printable(p.request.statusUrl),
           qUtf8Printable(p.reply.source), qUtf8Printable(p.reply.target),
           qUtf8Printable(p.reply.profile), p.reply.progress, p.replyText.constData());
    const bool md5 = p.request.elementCode == static_cast<int>(CWS_ELEMENT_MD5);
    Write(p, static_cast<unsigned>(p.request.elementCode), QZ_ERROR,
          md5 ? std::optional<QString>("Error copy not found") : std::nullopt, p.request.target,
          QString("copy not found"));
    // The check above ran before the element was written: the clip is settled only now.
    CheckClipCompletion(owner, bytesOfText(p.request.source));
}

int QCheckThread::Write(const Poll& p, unsigned code, int state,
                        const std::optional<QString>& elementText,
                        const std::optional<QString>& valueText,
                        const std::optional<QString>& errorText)
{
    std::shared_ptr<dbCwsHandle> db = owner->Database();
    if (!db) {
        owner->ReloadDatabase();
        db = owner->Database();
    }
    if (!db)
        return 0;
    const auto bytes = [](const std::optional<QString>& text) {
        return text ? std::optional<std::string>(bytesOfText(*text)) : std::nullopt;
    };
    const std::optional<std::string> element = bytes(elementText);
    const std::optional<std::string> value = bytes(valueText);
    const std::optional<std::string> error = bytes(errorText);
    return dbCWSSetElementStatus(
        db.get(), -1, bytesOfText(p.request.source), code, element ? element->c_str() : nullptr,
        value ? value->c_str() : nullptr, state, error ? error->c_str() : nullptr);
}

bool QCheckThread::Update(const QString& source, const QString& target, const QString& profile,
                          int progress)
{
    return UpdateProgressElement(owner, replyAddress_, source, target, profile, progress);
}
