// Progress display of one instance.
#include "tools/clipwatchctl/watch.h"

#include "control/xmlreply.h"

#include <QTextStream>
#include <QThread>

#include <unistd.h>

namespace ctl
{

namespace
{
const QStringList kIdleStates = {"state=notrunning", "state=complete", "state=stopped"};
constexpr int kIdleReadsBeforeDone = 5;
} // namespace

QString progressLine(int instance, const QMap<QString, QString>& s)
{
    QString state = s.value("state");
    state.remove("state=");
    return QString("instance %1  %2  directories %3/%4  clips %5 completed of %6  errors %7  "
                   "jobs %8  %9")
        .arg(instance)
        .arg(state, -14)
        .arg(s.value("directoriesComplete"), s.value("totalDirectories"))
        .arg(s.value("clipsCompleted"), s.value("totalClips"), s.value("erroredClips"))
        .arg(s.value("processesWaiting"), s.value("operation"));
}

bool isIdle(const QMap<QString, QString>& status)
{
    return kIdleStates.contains(status.value("state")) && status.value("processesWaiting") == "0";
}

int watchInstance(Controller& controller, int instance, int intervalMs)
{
    QTextStream out(stdout);
    const bool tty = isatty(STDOUT_FILENO);
    const QString request = QString("scandir=%1&getscanstatus").arg(instance);
    bool seenBusy = false;
    int idleReads = 0;
    QString previous;
    for (;;) {
        const auto reply = controller.request(request, 30000);
        if (!reply) {
            out << "\nclipwatchctl: the program stopped answering\n" << Qt::flush;
            return 1;
        }
        const auto status = control::replyValues(*reply);
        if (!status.contains("totalClips")) {
            out << "\nclipwatchctl: " << reply->trimmed() << "\n" << Qt::flush;
            return 1;
        }
        const QString line = progressLine(instance, status);
        if (tty)
            out << "\r\033[K" << line << Qt::flush;
        else if (line != previous)
            out << line << "\n" << Qt::flush;
        previous = line;
        if (!isIdle(status)) {
            seenBusy = true;
            idleReads = 0;
        } else if (seenBusy || ++idleReads >= kIdleReadsBeforeDone) {
            if (tty)
                out << "\n";
            out << Qt::flush;
            return 0;
        }
        QThread::msleep(static_cast<unsigned long>(intervalMs));
    }
}

} // namespace ctl
