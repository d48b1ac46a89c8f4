// The surroundings of a test scan: media files, instance 0's settings on either kind of database,
// and the reference service on 127.0.0.1.
#pragma once

#include "tests/support/testdb.h"
#include "tests/support/testenv.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

namespace scanenv
{

// Creates `path` (and its folders) holding a few bytes; false when it cannot be written.
bool touch(const QString& path);

// Instance 0 of a cleared settings store (the dashboard off, files settled at once): `media`
// with picon and proxy on and 40 translations, on an SQLite file in `folder` or this process's
// MySQL database; the `extra` keys set last.
void configure(Backend backend, const QString& folder, const QString& media,
               std::initializer_list<std::pair<const char*, QVariant>> extra = {});

// Waits until the process has printed `word` on its standard output.
bool waitForOutput(QProcess& process, const QByteArray& word, int ms);
// Sends SIGKILL to the process and reaps it.
void killHard(QProcess& process);
// Starts the program (clipwatch) with `arguments` and without a display: no QT_QPA_PLATFORM,
// DISPLAY or WAYLAND_DISPLAY in its environment (the one set on `process`, else the test's).
void startHeadless(QProcess& process, const QStringList& arguments);

// The reference service on 127.0.0.1:`port` (0: a free port); stopped on destruction.
class Service
{
public:
    explicit Service(int port = 1080) : port_(port) {}
    ~Service();
    // Starts it with simulated jobs of `jobMs`, or doing the real work when `jobMs` is 0; true
    // once it listens. `listJobs` has it list the jobs it takes (a few hundred at most: the
    // list waits in a pipe until jobs() reads it).
    bool start(int jobMs, bool listJobs = false);
    // Starts it with vexobase's `options`; true once it listens, on port().
    bool startWith(const QStringList& options);
    int port() const { return port_; }
    qint64 pid() const { return process.processId(); }
    // Sends SIGTERM; true when it then ends within `ms` with exit code 0 (false: not running).
    bool stop(int ms);
    void kill() { killHard(process); }
    // "<profile> <source>" of every job it has taken so far, in order.
    QStringList jobs();
    // GET of `pathAndQuery` ("/vexojson?..."); nothing when no reply came within `timeoutMs`.
    std::optional<std::string> get(const std::string& pathAndQuery, int timeoutMs = 5000) const;

private:
    int port_;
    QProcess process;
    QStringList taken;
};

// Base of the tests on either kind of database: this process's MySQL database dropped before and
// after, a fresh folder, and the simulated service when the test names a job length.
template <class Param> class BackendTest : public ::testing::TestWithParam<Param>
{
protected:
    virtual Backend backend() const = 0;
    // Length of the simulated service's jobs; 0: the test starts no service here.
    virtual int serviceJobMs() const { return 0; }

    void SetUp() override
    {
        if (backend() == Backend::MySQL) {
            CLIPWATCH_REQUIRE_MARIADB();
            testdb::dropMySQL(testdb::mysqlName());
        }
        folder = testenv::makeDir(QString::fromStdString(backendName({backend(), 0})));
        media = folder + "/media/";
        if (serviceJobMs() > 0) {
            ASSERT_TRUE(service.start(serviceJobMs())) << "port 1080 taken";
        }
    }

    void TearDown() override
    {
        if (backend() == Backend::MySQL)
            testdb::dropMySQL(testdb::mysqlName());
    }

    QString folder, media; // media: the scan folder below `folder`
    Service service;
};

} // namespace scanenv
