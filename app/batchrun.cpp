// Batch options and the idle watch that ends a batch run.
#include "app/batchrun.h"

#include "control/program.h"
#include "scanner/clipwatch.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{

constexpr int kIdlePollMs = 100;
constexpr int kIdlePolls = 20;

bool idle(const QList<CQZClipwatch*>& instances)
{
    for (const CQZClipwatch* instance : instances)
        if (instance->state != CQZClipwatch::cwsNotRunning ||
            !instance->checkThread.jobList.isEmpty())
            return false;
    return true;
}

bool refused(const std::optional<std::string>& reply)
{
    return reply && reply->rfind("error=", 0) == 0;
}

// Ends the application once `program` has been idle for kIdlePolls polls in a row.
void quitWhenIdle(Program& program)
{
    auto* poll = new QTimer(&program);
    auto idlePolls = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, &program, [&program, idlePolls] {
        *idlePolls = idle(program.instances) ? *idlePolls + 1 : 0;
        if (*idlePolls >= kIdlePolls)
            QCoreApplication::exit(0);
    });
    poll->start(kIdlePollMs);
}

} // namespace

BatchRun parseBatchRun(int argc, char** argv)
{
    BatchRun run;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--log") == 0 && hasValue)
            run.logName = argv[++i];
        else if (std::strcmp(argv[i], "--request") == 0 && hasValue)
            run.requests << argv[++i];
        else if (std::strcmp(argv[i], "--start") == 0)
            run.start = true;
        else if (std::strcmp(argv[i], "--until-idle") == 0)
            run.untilIdle = true;
    }
    return run;
}

void runBatch(Program& program, const BatchRun& run)
{
    for (const QString& request : run.requests) {
        std::optional<std::string> reply;
        program.RunCommand(request.toUtf8().constData(), reply);
        if (refused(reply)) {
            std::fprintf(stderr, "clipwatch: %s: %s\n", qUtf8Printable(request), reply->c_str());
            QCoreApplication::exit(2);
            return;
        }
    }
    if (run.start)
        for (CQZClipwatch* instance : program.instances)
            if (instance->StartScanning() != 0) {
                std::fprintf(stderr, "clipwatch: instance %d did not start\n", instance->Number());
                QCoreApplication::exit(2);
                return;
            }
    std::printf("started\n");
    std::fflush(stdout);
    if (run.untilIdle)
        quitWhenIdle(program);
}
