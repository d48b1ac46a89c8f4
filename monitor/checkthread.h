// QCheckThread: an instance's job monitor thread and the list of jobs it follows. The scanning
// thread appends every job it starts to jobList; the monitor's loop (run, on its own thread)
// polls each job on the service, writes every ended job's outcome into its clip's record, runs
// the clip completion check and purges the job. The owner starts it from LoadDatabase, empties
// jobList when it ends, which lets the loop finish, and waits for the thread before this object
// goes.
#pragma once

#include "monitor/joblist.h"
#include "monitor/jobreply.h"
#include "monitor/jobrequest.h"

#include <QThread>

#include <cstdint>
#include <optional>

class JobOwner;

class QCheckThread : public QThread
{
public:
    JobOwner* owner = nullptr;     // the instance, set before the thread starts
    QStringListThreadSafe jobList; // job strings of the jobs being followed

    // One poll of the job string `job`: counts the poll, asks the service for the job's state
    // and acts on the reply. Runs on the monitor's thread (tests call it directly on an
    // object that was never started).
    void PollJob(const QString& job);

    // Polls made so far, over all jobs together.
    uint32_t PollCount() const { return pollCount_; }

protected:
    void run() override;

private:
    // What one poll knows: the job, its request values and the reply's.
    struct Poll {
        QString job;              // the job string as polled
        JobRequest request;       // read from the job string
        JobReply reply;           // read from the status reply
        QByteArray replyText;     // the reply as it came
        QString replySource;      // normalised reply source
        QString replyTarget;      // normalised reply target
        QString requestSource;    // normalised request source
        QString requestTarget;    // normalised request target
        QString resultText;       // normalised reply resultstring
        unsigned lostAtStart = 0; // dbCWSLostStatements when the poll began
    };

    // Sleeps up to `ms`, waking early once the instance ends.
    void Rest(uint32_t ms) const;
    // True while the instance lives.
    bool KeepGoing() const;

    // The "copy not found" step for one such token of the reply.
    void NotFound(Poll& p);
    // True when the reply is about the polled job.
    bool Matches(const Poll& p) const;
    // The outcomes of a matching reply: the job has ended, or it still runs.
    void Ended(Poll& p);
    void Running(Poll& p);
    // The service reported the job lost (-2), or answered about another job.
    void LostProcess(Poll& p);
    void MissingProcess(Poll& p);

    // Checks the polled job's clip, takes the job out of the list and purges it on the service;
    // when the database lost a write of this poll, the job stays and its outcome is written again
    // at a later poll.
    void Finish(const Poll& p, bool logPurge);
    // Sends the purge request of the polled job; logs its reply when asked.
    void Purge(const Poll& p, bool logReply);
    // dbCWSSetElementStatus of the polled job's element, opening the database when none is open;
    // 0 (done) when there is still none.
    int Write(const Poll& p, unsigned code, int state, const std::optional<QString>& elementText,
              const std::optional<QString>& valueText, const std::optional<QString>& errorText);
    // UpdateProgressElement of the owner.
    bool Update(const QString& source, const QString& target, const QString& profile, int progress);

    uint32_t pollCount_ = 0; // polls over the thread's whole life
    QString replyAddress_;   // last "address" of any reply; kept between polls
};
