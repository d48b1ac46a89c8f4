// Process entry point: names the log, switches the media-library options off for the run,
// creates the application and the main window, runs the event loop and undoes its changes.
// SIGTERM and SIGINT end the event loop the same way as closing the window.
#include "app/startup.h"
#include "platform/qzlog.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QSettings>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
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
void quitOnTerminateSignals(QApplication& app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onTerminateSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    ErrLogSetFileName("Clipwatch");
    qInstallMessageHandler(qUSERMSGOutput);
    ErrOut("\nClipwatch Version: %d.%d.%d.%d\n", kVersionMajor, kVersionMinor, kVersionRelease,
           kVersionBuild);
    srand(static_cast<unsigned>(time(nullptr)));
    const MediaLibraryOptions savedOptions = switchMediaLibraryOptionsOff();

    auto settings = std::make_unique<QSettings>("Velmora", "Clipwatch");
    ErrOut("Settings file: %s", settings->fileName().toUtf8().constData());
    readDumpAllCommands(*settings);

    auto app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName("Velmora Technologies Ltd");
    quitOnTerminateSignals(*app);
    auto window = std::make_unique<MainWindow>();
    window->setWindowTitle(clipwatchWindowTitle());
    const int exitCode = app->exec();

    restoreMediaLibraryOptions(savedOptions);
    ErrOut("\nmain exiting %s %d", "main.cpp", 172);
    ErrLogClose();
    window.reset();
    app.reset();
    settings.reset();
    return exitCode;
}
