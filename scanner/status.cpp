// The status thread and the panel texts: counts refreshed from the database every 100 ms,
// texts kept by the instance and handed to the listener a window attached.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"

namespace
{

constexpr uint32_t kStatusPassMs = 100;
// The rest after a count refresh, in multiples of the time it took.
constexpr uint32_t kCountPace = 4;
// How long the status thread has to end before a caution is logged.
constexpr uint32_t kStatusEndMs = 500;

// A count as shown: -1 (none) reads as 0.
QString shown(int count)
{
    return QString::number(std::max(0, count));
}

} // namespace

void CQZClipwatch::Show(Label label, const QString& text)
{
    std::lock_guard<std::mutex> lock(panelMutex_);
    texts_[label] = text;
    if (listener_.textChanged)
        listener_.textChanged(label, text);
}

QString CQZClipwatch::LabelText(Label label) const
{
    std::lock_guard<std::mutex> lock(panelMutex_);
    return texts_[label];
}

void CQZClipwatch::ClearStatusText()
{
    Show(StateLabel, QString());
}

void CQZClipwatch::AttachPanel(const PanelListener& listener)
{
    std::lock_guard<std::mutex> lock(panelMutex_);
    listener_ = listener;
    if (!listener_.textChanged)
        return;
    for (int i = 0; i < LabelCount; ++i)
        if (!texts_[i].isEmpty())
            listener_.textChanged(static_cast<Label>(i), texts_[i]);
}

void CQZClipwatch::DetachPanel()
{
    std::lock_guard<std::mutex> lock(panelMutex_);
    listener_ = PanelListener();
}

QString CQZClipwatch::ClipCountText() const
{
    const QString found = QString("Found %1").arg(shown(counts[CWS_COUNT_FILES]));
    const int settling = settle_.Files();
    return settling > 0 ? QString("%1 Settling %2").arg(found).arg(settling) : found;
}

void CQZClipwatch::ShowCounts(bool directories, bool clips, bool processing)
{
    if (directories) {
        const int errors = counts[CWS_COUNT_DIRECTORY_ERRORS];
        const QString found =
            QString("Found %1 Finished %2")
                .arg(shown(counts[CWS_COUNT_DIRECTORIES]), shown(counts[CWS_COUNT_SEARCHED]));
        Show(DirectoryCountsLabel,
             errors > 0 ? QString("%1 Errors %2").arg(found, shown(errors)) : found);
    }
    if (clips)
        Show(ClipCountLabel, ClipCountText());
    if (!processing)
        return;
    const int errorClips = counts[CWS_COUNT_ERRORS];
    const QString complete = QString("Complete %1").arg(shown(counts[CWS_COUNT_COMPLETED]));
    Show(CompletionLabel,
         errorClips > 0 ? QString("%1 Errors %2").arg(complete, shown(errorClips)) : complete);
    Show(ProcessingLabel, QString("Processing %1 + MD5's %2 Complete %3 Errors %4")
                              .arg(shown(counts[CWS_COUNT_PROCESSES_IN_PROGRESS]),
                                   shown(counts[CWS_COUNT_MD5_IN_PROGRESS]),
                                   shown(counts[CWS_COUNT_PROCESSES_COMPLETED]),
                                   shown(counts[CWS_COUNT_PROCESSES_ERRORED])));
}

void CQZClipwatch::_UpdateCount()
{
    uint32_t nextRefreshAt = 0;
    for (unsigned pass = 0; KeepGoing(Work::Following); ++pass) {
        if (const std::shared_ptr<dbCwsHandle> db = Database()) {
            dbCWSRenewClaims(db.get());
            const int s = state;
            const bool directories = s == cwsFindDirectories || pass % 50 == 16;
            const bool clips = s == cwsFindClips || pass % 50 == 32;
            const bool processing =
                s == cwsProcessingClips || s == cwsWaitingForProcesses || pass % 50 == 48;
            // One refresh reads every count at once (two statements). Counts that cost the
            // server much (whole tables on MySQL) wait four times as long as they took, so that
            // they never take more than a fifth of its time from the work they count.
            if ((directories || clips || processing) &&
                static_cast<int32_t>(qzOSGetMs() - nextRefreshAt) >= 0) {
                const uint32_t began = qzOSGetMs();
                RefreshCounts();
                nextRefreshAt = qzOSGetMs() + kCountPace * (qzOSGetMs() - began);
                ShowCounts(directories, clips, processing);
            }
        }
        ShowTimeLeft();
        Sleep(kStatusPassMs);
    }
}

void CQZClipwatch::EndStatusThread()
{
    if (!statusThread_.valid())
        return;
    if (statusThread_.wait_for(std::chrono::milliseconds(kStatusEndMs)) !=
        std::future_status::ready)
        ErrFmtOut(QZ_LEVEL_CAUTION, 0, 0, "CAUTION(CWSscan): %s\n",
                  "Unable to close thread, terminating (CQZClipwatch::_UpdateCount)");
    // A thread that uses this instance cannot be abandoned: it is joined in every case.
    statusThread_.wait();
}
