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

// A cleared settings store (dashboard off) with instance 0 on `media`: picon, proxy, 40
// translations, files settled at once, `folder`/clips.db or this process's MySQL database; `extra`.
void configure(Backend backend, const QString& folder, const QString& media,
               std::initializer_list<std::pair<const char*, QVariant>> extra = {});

// Waits until the process has printed `word` on its standard output.
bool waitForOutput(QProcess& process, const QByteArray& word, int ms);
void killHard(QProcess& process);
// Starts clipwatch with `arguments` in the environment set on `process` (else the test's), less
// QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY.
void startHeadless(QProcess& process, const QStringList& arguments);

// The reference service on 127.0.0.1:`port` (0: a free port); stopped on destruction.
class Service
{
public:
    explicit Service(int port = 1080) : port_(port) {}
    ~Service();
    // Starts it with simulated jobs of `jobMs` (0: real work); true once it listens. `listJobs`
    // has it list the jobs it takes (a few hundred at most: they wait in a pipe for jobs()).
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
