// Headless runner of one scanner instance, for the end-to-end tests: loads instance 0 from the
// settings store, starts it and runs until it has been idle with no job left for a while, so
// that a test can kill it at any moment and start it again on the same database.
//   endtoend_driver LOGNAME [--clear-errors]
// --clear-errors runs Clear Errors before the scan starts.
// Exit code 0 when the instance went idle, 2 when it could not start.
#include "app/startup.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace
{
// Polls of the instance, and how many idle polls in a row end the run.
constexpr int kPollMs = 100;
constexpr int kIdlePolls = 20;

bool idle(const CQZClipwatch& instance)
{
    return instance.state == CQZClipwatch::cwsNotRunning && instance.checkThread.jobList.isEmpty();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LOGNAME [--clear-errors]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ErrLogSetFileName(argv[1]);
    qInstallMessageHandler(qUSERMSGOutput);
    QApplication app(argc, argv);
    CQZClipwatch::instanceCount = 1;
    CQZClipwatch instance(0, "127.0.0.1");
    instance.LoadDatabase();
    if (argc > 2 && std::strcmp(argv[2], "--clear-errors") == 0)
        instance.ClearErrors();
    if (instance.StartScanning() != 0)
        return 2;
    std::printf("started\n");
    std::fflush(stdout);

    int idlePolls = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        idlePolls = idle(instance) ? idlePolls + 1 : 0;
        if (idlePolls >= kIdlePolls)
            app.quit();
    });
    poll.start(kPollMs);
    app.exec();
    std::printf("idle\n");
    std::fflush(stdout);
    ErrLogClose();
    return 0;
}
