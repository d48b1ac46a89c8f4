// Claims of the hosts that share one MySQL catalogue (see claims.h). Times are the server's
// (UNIX_TIMESTAMP()), so the hosts' clocks need not agree.
#include "db/claims_p.h"

#include "db/elements.h"

#include <QSqlError>
#include <QString>

#include <algorithm>
#include <chrono>

namespace
{

// Another host's claim on the row of `table` (Directories or Clips) of the outer statement.
const char* const othersClaim = "EXISTS (SELECT 1 FROM Claims WHERE Claims.Kind=? AND "
                                "Claims.Item=%s.ID AND Claims.Host<>?)";

long long steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

CSQLite3Value kindValue(dbCwsClaimKind kind)
{
    return std::string(1, static_cast<char>(kind));
}

CSQLite3Value hostValue(const dbCwsHandle* handle)
{
    return handle->claimHost;
}

CSQLite3Value secondsValue(const dbCwsHandle* handle)
{
    return static_cast<long long>(handle->claimSeconds);
}

std::string othersClaimOn(const char* table)
{
    return QString::asprintf(othersClaim, table).toStdString();
}

// Statements on a shared catalogue lock the rows they read, not the gaps between them, so that
// the hosts' claims and writes do not wait for each other (nor deadlock). Set for the session
// of the calling thread's connection before its claims work.
bool readCommitted(dbCwsHandle* handle, const char* fcn)
{
    if (!dbCWSSharedCatalogue(handle))
        return false;
    dbCwsRun(handle, fcn, "SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED");
    return true;
}

// One transaction on the calling thread's connection; committed by commit(), else rolled back.
// A statement that failed in it (a deadlock rolls the whole transaction back) fails the commit.
class Transaction
{
public:
    Transaction(dbCwsHandle* handle, const char* fcn)
        : clone(dbCWSGetThreadDatabase(handle->connectionName)), handle(handle), fcn(fcn),
          lost(dbCWSLostStatements(handle))
    {
        open = clone.transaction();
        if (!open)
            qDebug("%s %s", fcn, clone.lastError().text().toUtf8().constData());
    }
    ~Transaction()
    {
        if (open)
            clone.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // True when what the transaction did is now durable.
    bool commit()
    {
        if (!open)
            return false;
        open = false;
        if (dbCWSLostStatements(handle) != lost) {
            clone.rollback();
            return false;
        }
        if (clone.commit())
            return true;
        qDebug("%s %s", fcn, clone.lastError().text().toUtf8().constData());
        return false;
    }

private:
    QSqlDatabase clone;
    dbCwsHandle* handle;
    const char* fcn;
    const unsigned lost; // lost statements of the handle as the transaction began
    bool open = false;
};

// Ends this host's claim of kind `kind` on the row of `table` whose `column` is `path`.
void releaseByPath(dbCwsHandle* handle, dbCwsClaimKind kind, const char* table, const char* column,
                   const std::string& path)
{
    const char* fcn = "dbCWSRelease";
    if (readCommitted(handle, fcn))
        dbCwsRun(handle, fcn,
                 std::string("DELETE FROM Claims WHERE Kind=? AND Host=? AND Item IN (SELECT ID "
                             "FROM ") +
                     table + " WHERE " + column + "=?)",
                 {kindValue(kind), hostValue(handle), path});
}

} // namespace

void dbCWSShareCatalogue(dbCwsHandle* handle, const std::string& host, int seconds)
{
    if (!dbCwsIsMySQL(handle) || host.empty())
        return;
    handle->claimHost = host;
    handle->claimSeconds = std::max(3, seconds);
}

bool dbCWSSharedCatalogue(const dbCwsHandle* handle)
{
    return handle && !handle->claimHost.empty() && dbCwsIsMySQL(handle);
}

bool dbCWSClaim(dbCwsHandle* handle, dbCwsClaimKind kind, long long item)
{
    const char* fcn = "dbCWSClaim";
    if (!readCommitted(handle, fcn))
        return true;
    // Host is assigned first: Until's condition then reads the new holder.
    dbCwsRun(handle, fcn,
             "INSERT INTO Claims (Kind, Item, Host, Until) VALUES (?, ?, ?, UNIX_TIMESTAMP()+?) "
             "ON DUPLICATE KEY UPDATE Host=IF(Until<UNIX_TIMESTAMP() OR Host=VALUES(Host), "
             "VALUES(Host), Host), Until=IF(Host=VALUES(Host), VALUES(Until), Until)",
             {kindValue(kind), item, hostValue(handle), secondsValue(handle)});
    const dbCwsRows rows = dbCwsRun(handle, fcn, "SELECT Host FROM Claims WHERE Kind=? AND Item=?",
                                    {kindValue(kind), item});
    return rows.text("Host") == handle->claimHost;
}

void dbCWSReleaseClaim(dbCwsHandle* handle, dbCwsClaimKind kind, long long item)
{
    if (readCommitted(handle, "dbCWSReleaseClaim"))
        dbCwsRun(handle, "dbCWSReleaseClaim",
                 "DELETE FROM Claims WHERE Kind=? AND Item=? AND Host=?",
                 {kindValue(kind), item, hostValue(handle)});
}

void dbCWSRenewClaims(dbCwsHandle* handle)
{
    if (!dbCWSSharedCatalogue(handle))
        return;
    const long long now = steadyMs();
    if (now - handle->claimsRenewedMs < handle->claimSeconds * 1000LL / 3)
        return;
    handle->claimsRenewedMs = now;
    readCommitted(handle, "dbCWSRenewClaims");
    dbCwsRun(handle, "dbCWSRenewClaims", "UPDATE Claims SET Until=UNIX_TIMESTAMP()+? WHERE Host=?",
             {secondsValue(handle), hostValue(handle)});
}

int dbCWSClaimNextDirectory(dbCwsHandle* handle, std::string& path)
{
    path.clear();
    const char* fcn = "dbCWSClaimNextDirectory";
    readCommitted(handle, fcn);
    Transaction transaction(handle, fcn);
    const dbCwsRows rows =
        dbCwsRun(handle, fcn,
                 "SELECT ID, Directory FROM Directories WHERE Checked=0 AND NOT " +
                     othersClaimOn("Directories") + " LIMIT 1 FOR UPDATE SKIP LOCKED",
                 {kindValue(dbCwsClaimKind::Directory), hostValue(handle)});
    const long long id = rows.integer("ID", -1);
    const std::string directory = rows.text("Directory").value_or(std::string());
    if (id < 0 || !dbCWSClaim(handle, dbCwsClaimKind::Directory, id) ||
        !dbCwsRun(handle, fcn, "UPDATE Directories SET Checked=2 WHERE ID=?", {id}).ok() ||
        !transaction.commit())
        return -1;
    path = directory;
    return 0;
}

void dbCWSReleaseDirectory(dbCwsHandle* handle, const std::string& path)
{
    releaseByPath(handle, dbCwsClaimKind::Directory, "Directories", "Directory", path);
}

void dbCWSReleaseClip(dbCwsHandle* handle, const std::string& anchorPath)
{
    releaseByPath(handle, dbCwsClaimKind::Clip, "Clips", "AnchorPath", anchorPath);
}

void dbCWSReleaseClips(dbCwsHandle* handle)
{
    if (readCommitted(handle, "dbCWSReleaseClips"))
        dbCwsRun(handle, "dbCWSReleaseClips", "DELETE FROM Claims WHERE Kind=? AND Host=?",
                 {kindValue(dbCwsClaimKind::Clip), hostValue(handle)});
}

int dbCWSFreeLapsedDirectories(dbCwsHandle* handle)
{
    const char* fcn = "dbCWSFreeLapsedDirectories";
    if (!readCommitted(handle, fcn))
        return 0;
    const CSQLite3Value directory = kindValue(dbCwsClaimKind::Directory);
    dbCwsRun(handle, fcn,
             "DELETE FROM Claims WHERE Kind=? AND Until<UNIX_TIMESTAMP() AND NOT EXISTS (SELECT "
             "1 FROM Clips WHERE Clips.ID=Claims.Item)",
             {kindValue(dbCwsClaimKind::Clip)});
    Transaction transaction(handle, fcn);
    const int freed =
        dbCwsRun(handle, fcn, "SELECT COUNT(*) FROM Claims WHERE Kind=? AND Until<UNIX_TIMESTAMP()",
                 {directory})
            .integer("COUNT(*)", 0);
    if (freed == 0)
        return 0;
    dbCwsRun(handle, fcn,
             "UPDATE Directories SET Checked=0 WHERE (Checked=2 OR Checked=?) AND ID IN (SELECT "
             "Item FROM Claims WHERE Kind=? AND Until<UNIX_TIMESTAMP())",
             {static_cast<long long>(CWS_DIR_SETTLING), directory});
    dbCwsRun(handle, fcn, "DELETE FROM Claims WHERE Kind=? AND Until<UNIX_TIMESTAMP()",
             {directory});
    return transaction.commit() ? freed : 0;
}

bool dbCWSWalkLapsed(dbCwsHandle* handle)
{
    return dbCWSSharedCatalogue(handle) &&
           dbCwsRun(handle, "dbCWSWalkLapsed",
                    "SELECT COUNT(*) FROM Claims WHERE Kind=? AND Until<UNIX_TIMESTAMP()",
                    {kindValue(dbCwsClaimKind::Walk)})
                   .integer("COUNT(*)", 0) > 0;
}

std::vector<dbCwsClipSlot> dbCWSTakeLapsedClips(dbCwsHandle* handle, int limit)
{
    std::vector<dbCwsClipSlot> taken;
    const char* fcn = "dbCWSTakeLapsedClips";
    if (!readCommitted(handle, fcn))
        return taken;
    Transaction transaction(handle, fcn);
    for (dbCwsRows rows = dbCwsRun(
             handle, fcn,
             "SELECT Clips.ID AS ID, ClipName, AnchorPath, SourceDir, Complete FROM Claims JOIN "
             "Clips ON Clips.ID=Claims.Item WHERE Claims.Kind=? AND Claims.Until<UNIX_TIMESTAMP() "
             "LIMIT " +
                 std::to_string(std::max(0, limit)) + " FOR UPDATE SKIP LOCKED",
             {kindValue(dbCwsClaimKind::Clip)});
         rows.atRow(); rows.next()) {
        dbCwsClipSlot slot;
        slot.id = rows.integer("ID", -1);
        slot.clipName = rows.text("ClipName").value_or(std::string());
        slot.anchorPath = rows.text("AnchorPath").value_or(std::string());
        slot.sourceDir = rows.text("SourceDir").value_or(std::string());
        slot.complete = rows.integer("Complete", 0);
        taken.push_back(slot);
    }
    for (const dbCwsClipSlot& slot : taken)
        dbCwsRun(handle, fcn,
                 "UPDATE Claims SET Host=?, Until=UNIX_TIMESTAMP()+? WHERE Kind=? AND Item=?",
                 {hostValue(handle), secondsValue(handle), kindValue(dbCwsClaimKind::Clip),
                  static_cast<long long>(slot.id)});
    if (!transaction.commit())
        taken.clear();
    return taken;
}

void dbCWSReleaseOwnWork(dbCwsHandle* handle)
{
    const char* fcn = "dbCWSReleaseOwnWork";
    if (!readCommitted(handle, fcn))
        return;
    const CSQLite3Value clip = kindValue(dbCwsClaimKind::Clip);
    dbCwsRun(handle, fcn,
             "UPDATE Directories SET Checked=0 WHERE (Checked=2 OR Checked=?) AND NOT " +
                 othersClaimOn("Directories"),
             {static_cast<long long>(CWS_DIR_SETTLING), kindValue(dbCwsClaimKind::Directory),
              hostValue(handle)});
    dbCwsRun(handle, fcn, "DELETE FROM Claims WHERE Kind=? AND Host=?",
             {kindValue(dbCwsClaimKind::Directory), hostValue(handle)});
    dbCwsRun(handle, fcn, "UPDATE Claims SET Until=0 WHERE Kind<>? AND Host=?",
             {kindValue(dbCwsClaimKind::Directory), hostValue(handle)});
    dbCwsRun(handle, fcn,
             "INSERT IGNORE INTO Claims (Kind, Item, Host, Until) SELECT ?, ID, ?, 0 FROM Clips "
             "WHERE Complete=2 OR Complete=3 OR Complete=8 OR MD5='in progress'",
             {clip, hostValue(handle)});
}

bool dbCWSCatalogueBusy(dbCwsHandle* handle)
{
    if (!dbCWSSharedCatalogue(handle))
        return false;
    const char* fcn = "dbCWSCatalogueBusy";
    // Whether any such row exists, not how many: the tables may hold millions.
    return dbCwsRun(handle, fcn,
                    "SELECT EXISTS (SELECT 1 FROM Claims WHERE Host<>?) OR EXISTS (SELECT 1 FROM "
                    "Directories WHERE Checked=0) AS Busy",
                    {hostValue(handle)})
               .integer("Busy", 0) != 0;
}

bool dbCWSCatalogueScanning(dbCwsHandle* handle)
{
    return dbCWSCatalogueBusy(handle) ||
           dbCwsRun(handle, "dbCWSCatalogueScanning",
                    "SELECT EXISTS (SELECT 1 FROM Clips WHERE Complete IS NULL OR Complete IN (0, "
                    "2, 3)) AS Scanning")
                   .integer("Scanning", 0) != 0;
}

bool dbCwsClaimClipRows(dbCwsHandle* handle, const char* fcn, const std::string& condition,
                        const std::string& limit, const std::function<bool(dbCwsRows&)>& read)
{
    readCommitted(handle, fcn);
    Transaction transaction(handle, fcn);
    std::vector<long long> ids;
    for (dbCwsRows rows =
             dbCwsRun(handle, fcn,
                      "SELECT * FROM Clips WHERE (" + condition + ") AND NOT " +
                          othersClaimOn("Clips") + " LIMIT " + limit + " FOR UPDATE SKIP LOCKED",
                      {kindValue(dbCwsClaimKind::Clip), hostValue(handle)});
         rows.atRow(); rows.next()) {
        const long long id = rows.integer("ID", -1);
        if (read(rows))
            ids.push_back(id);
    }
    bool claimed = true;
    for (long long id : ids)
        claimed = dbCWSClaim(handle, dbCwsClaimKind::Clip, id) && claimed;
    return transaction.commit() && claimed;
}
