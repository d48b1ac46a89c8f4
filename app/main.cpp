// Process entry point: names the log, switches the media-library options off for the run,
// creates the application, the program's core and the main window, runs the event loop and
// undoes its changes. SIGTERM and SIGINT end the event loop the same way as closing the window.
// `clipwatch --no-window` runs the core alone, without a window or a display; the batch options
// (app/batchrun.h) run requests and starts at start-up and can end the program once idle. The web
// dashboard (web/dashboard.h) serves the program from its start until the event loop has ended.
#include "app/batchrun.h"
#include "app/startup.h"
#include "control/program.h"
#include "platform/qzlog.h"
#include "platform/qzmemory.h"
#include "ui/mainwindow.h"
#include "ui/version.h"
#include "web/dashboard.h"

#include <QApplication>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

int signalPipe[2] = {-1, -1};

void onTerminateSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
}

// Turns SIGTERM and SIGINT into a quit of the event loop.
void quitOnTerminateSignals(QCoreApplication& app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onTerminateSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool hasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], wanted) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    qzOSKeepFreedHeap();
    const BatchRun batch = parseBatchRun(argc, argv);
    ErrLogSetFileName(batch.logName.toUtf8().constData());
    qInstallMessageHandler(qUSERMSGOutput);
    ErrOut("\nClipwatch Version: %d.%d.%d.%d\n", kVersionMajor, kVersionMinor, kVersionRelease,
           kVersionBuild);
    srand(static_cast<unsigned>(time(nullptr)));
    const MediaLibraryOptions savedOptions = switchMediaLibraryOptionsOff();

    auto settings = std::make_unique<QSettings>("Velmora", "Clipwatch");
    ErrOut("Settings file: %s", settings->fileName().toUtf8().constData());
    readDumpAllCommands(*settings);

    const bool windowed = !hasArgument(argc, argv, "--no-window");
    std::unique_ptr<QCoreApplication> app;
    if (windowed)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName("Velmora Technologies Ltd");
    quitOnTerminateSignals(*app);
    auto program = std::make_unique<Program>();
    auto dashboard = std::make_unique<web::Dashboard>(*program);
    std::unique_ptr<MainWindow> window;
    if (windowed) {
        window = std::make_unique<MainWindow>(*program);
        window->setWindowTitle(clipwatchWindowTitle());
    } else {
        QTimer::singleShot(1000, program.get(), [&program, &batch] {
            program->Start();
            runBatch(*program, batch);
        });
    }
    const int exitCode = app->exec();

    restoreMediaLibraryOptions(savedOptions);
    ErrOut("\nmain exiting %s %d", "main.cpp", 172);
    ErrLogClose();
    dashboard.reset();
    window.reset();
    program.reset();
    app.reset();
    settings.reset();
    return exitCode;
}
