// The program as the dashboard tests meet it: `clipwatch --no-window` with two instances scanned
// to the end against the simulated service, connected to this test's controller on port 6216,
// and its dashboard on a free port of 127.0.0.1.
#pragma once

#include "tests/integration/endtoend/e2efixture.h"
#include "tools/clipwatchctl/controller.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QMap>
#include <QProcess>
#include <QString>

#include <memory>
#include <string>

namespace dashboardtest
{

// A scanned clip whose file name is markup, with a handler that would retitle the page.
extern const char kHostileName[];
// The reason the simulated service gives for the clips that fail by their name's marker.
extern const char kFailureReason[];

class RunningProgram
{
public:
    ~RunningProgram();

    // Starts everything and waits until both instances have settled; false with a failure added.
    bool start();

    // The values of the protocol's reply to `request`.
    QMap<QString, QString> ask(const QString& request);
    // The protocol's state word of the instance ("paused", ...), without the status text.
    QString state(int instance);
    // An HTTP client of the dashboard.
    httplib::Client client() const;
    std::string url(const std::string& path = "/") const;

    int port = 0;      // the dashboard's port
    std::string token; // from the log line that names the dashboard
    QString folder;    // the test's folder: media0/ and media1/, the databases

private:
    bool settled(int instance, int clips);

    e2e::Service service;
    ctl::Controller controller;
    QProcess program;
};

// Suite base: one running program shared by the suite's tests, which are skipped when it did
// not start.
class DashboardTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { program.reset(); }
    void SetUp() override;

    static std::unique_ptr<RunningProgram> program;
};

// The text of the cell data-field="`field`" in the row of instance `instance` of the page's
// `dom`; "" when there is none.
QString fieldOfInstance(const QString& dom, int instance, const QString& field);

} // namespace dashboardtest
