// A MySQL server that goes away under a running scan: the scanning thread waits until it answers
// again, and opens the database again when its handle was lost.
#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"
#include "scanner/clipwatch.h"

namespace
{
// Pause between two attempts to open a lost database.
constexpr uint32_t kReopenMs = 2000;
} // namespace

bool CQZClipwatch::DatabaseAnswers() const
{
    const CWSSettings s = Settings();
    if (s.DBType != CWS_DB_MYSQL)
        return true;
    std::string message;
    testSqlConnect(CWS_DB_MYSQL, message, QString::fromStdString(s.DBUsername),
                   QString::fromStdString(s.DBPassword), QString::fromStdString(s.DBHost),
                   s.DBPort);
    return message.empty();
}

void CQZClipwatch::WaitForDatabase()
{
    bool waited = false;
    while (KeepGoing(Work::Scan) && !DatabaseAnswers()) {
        if (!waited) {
            ErrOut("\nDatabase not answering, waiting for it");
            Show(StateLabel, "Waiting for the database");
            waited = true;
        }
        Sleep(1000);
    }
    if (waited)
        ErrOut("\nDatabase answers again");
}

void CQZClipwatch::ReopenLostDatabase()
{
    // Only a server comes back; a failed open of an SQLite file would replace the file.
    if (Settings().DBType != CWS_DB_MYSQL)
        return;
    const int s = state;
    const bool scanning = s == cwsFindDirectories || s == cwsFindClips || s == cwsProcessingClips ||
                          s == cwsWaitingForProcesses || s == cwsProcessingComplete;
    const uint32_t now = qzOSGetMs();
    if (!scanning || now - lastReopenAt_ < kReopenMs)
        return;
    lastReopenAt_ = now;
    // Opening fails while the server is away, and a failed open would try to create it.
    if (!DatabaseAnswers())
        return;
    ErrOut("\nDatabase lost during the scan, opening it again");
    LoadDatabase();
}
