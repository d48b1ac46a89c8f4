// Headless runner of one scanner instance, for the end-to-end tests: loads instance 0 from the
// settings store, starts it and runs until it has been idle with no job left for a while, so
// that a test can kill it at any moment and start it again on the same database.
//   endtoend_driver LOGNAME [--clear-errors] [--word WORD]
// --clear-errors runs Clear Errors before the scan starts; --word starts the instance with the
// control word WORD (start, process, restart) instead of StartScanning.
// Exit code 0 when the instance went idle, 2 when it could not start.
#include "app/startup.h"
#include "control/executecommand.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"

#include <QCoreApplication>
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

// The interpreter's view of a program without a window: one instance, no panels.
class Headless : public CommandHost
{
public:
    explicit Headless(CQZClipwatch* instance) : list{instance} {}
    QList<CQZClipwatch*>& Instances() override { return list; }
    QString ConnectionStatus() const override { return QString(); }
    std::string OwnAddress() const override { return "127.0.0.1"; }
    void SetElementCheck(int, ElementSwitch, bool) override {}
    void AddDatabase(const QString&) override {}
    void InstanceAdded(int) override {}
    void RemoveInstance(int) override {}

private:
    QList<CQZClipwatch*> list;
};

// Starts the instance as the control word `word` does; 0 when it started.
int startWith(CQZClipwatch& instance, const char* word)
{
    Headless host(&instance);
    std::optional<std::string> reply;
    const int result = ExecuteCommand(host, (std::string("scandir=0&") + word).c_str(), reply);
    return reply && reply->rfind("error=", 0) == 0 ? 2 : result;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LOGNAME [--clear-errors]\n", argv[0]);
        return 2;
    }
    ErrLogSetFileName(argv[1]);
    qInstallMessageHandler(qUSERMSGOutput);
    QCoreApplication app(argc, argv);
    CQZClipwatch::instanceCount = 1;
    CQZClipwatch instance(0, "127.0.0.1");
    instance.LoadDatabase();
    const char* word = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--clear-errors") == 0)
            instance.ClearErrors();
        else if (std::strcmp(argv[i], "--word") == 0 && i + 1 < argc)
            word = argv[++i];
    }
    if ((word ? startWith(instance, word) : instance.StartScanning()) != 0)
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
