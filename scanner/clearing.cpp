// Clear Errors, Clear Processes and Abort All of an instance: putting elements back to waiting,
// and aborting every job of the monitor's list on the service. They run on the scanning thread
// through the request flags while it runs, and on the caller's thread otherwise.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "monitor/abortrequest.h"
#include "monitor/jobreply.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"

#include <QMutexLocker>

int CQZClipwatch::ClearErrors()
{
    if (!Database())
        LoadDatabase();
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!db)
        return 0;
    clearErrorsRequested = false;
    Show(StateLabel, "Clearing Errors...");
    dbCWSClearAllErrors(db.get());
    Show(StateLabel, "Cleared");
    LoadDatabase();
    return 0;
}

int CQZClipwatch::ClearProcesses()
{
    if (!Database())
        LoadDatabase();
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!db)
        return 0;
    clearProcessesRequested = false;
    Show(StateLabel, "Clearing Processes...");
    dbCWSClearProcesses(db.get());
    Show(StateLabel, "Cleared");
    LoadDatabase();
    return 0;
}

void CQZClipwatch::AbortProcesses()
{
    if (!Database())
        LoadDatabase();
    std::shared_ptr<dbCwsHandle> db = Database();
    if (!db)
        return;
    abortAllRequested = false;
    ErrOut("\nCWS:AbortProcesses ");
    QStringListThreadSafe& jobs = checkThread.jobList;
    {
        // The monitor's appends, removals and snapshots wait for the whole pass.
        QMutexLocker locker(jobs.lock());
        QString address;
        for (const QString& job : jobs.snapshot()) {
            const AbortRequest abort = parseAbortJob(job);
            const std::optional<std::string> reply =
                vexoSendRequest(bytesOfText(abort.url), kVexoTimeoutMs);
            if (!reply)
                continue;
            const JobReply answer = parseJobReply(QByteArray::fromStdString(*reply), address);
            // A reply without a source names no job: every entry would contain "".
            if (answer.result != 0 || answer.source.isEmpty())
                continue;
            const std::string source = bytesOfText(answer.source);
            const QStringList removed = jobs.removeIf([&answer](const QString& entry) {
                return entry.contains(answer.source, Qt::CaseInsensitive);
            });
            for (int i = 0; i < removed.size(); ++i)
                dbCWSSetElementStatus(db.get(), -1, source,
                                      static_cast<unsigned>(abort.elementCode), "", "", 0, "");
        }
    }
    db.reset();
    if (!Database()) {
        ErrFmtOut(QZ_LEVEL_WARNING, 0, 0, "WARNING(CWSscan): %s\n",
                  "Can't set state - no database available");
        return;
    }
    SaveAutoStart(Number(), false);
    ChangeState(cwsProcessingStopped);
}

void CQZClipwatch::RequestClearErrors()
{
    if (scanThreadRunning)
        clearErrorsRequested = true;
    else
        ClearErrors();
}

void CQZClipwatch::RequestClearProcesses()
{
    if (scanThreadRunning)
        clearProcessesRequested = true;
    else
        ClearProcesses();
}

void CQZClipwatch::RequestAbortProcesses()
{
    if (scanThreadRunning)
        abortAllRequested = true;
    else
        AbortProcesses();
}
