// Progress display of one instance.
#include "tools/clipwatchctl/watch.h"

#include "control/xmlreply.h"

#include <QTextStream>
#include <QThread>

#include <algorithm>

#include <unistd.h>

namespace ctl
{

namespace
{
const QStringList kIdleStates = {"state=notrunning", "state=complete", "state=stopped"};
constexpr int kIdleReadsBeforeDone = 5;
constexpr int kBarWidth = 20;

// "m:ss", or "h:mm:ss" from an hour on.
QString clockText(int seconds)
{
    const QString secondsPart = QString(":%1").arg(seconds % 60, 2, 10, QChar('0'));
    if (seconds < 3600)
        return QString::number(seconds / 60) + secondsPart;
    return QString("%1:%2").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QChar('0')) +
           secondsPart;
}

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

QString progressBar(const QMap<QString, QString>& progress)
{
    const double rate = progress.value("rate").toDouble();
    if (rate <= 0)
        return QString();
    QString bar = QString("%1/s").arg(rate, 0, 'f', 2);
    const long long done = progress.value("done").toLongLong();
    const long long total = progress.value("total").toLongLong();
    if (total > 0) {
        const long long filled = std::min<long long>(kBarWidth, done * kBarWidth / total);
        bar = QString("[%1%2] %3% ")
                  .arg(QString(static_cast<int>(filled), '#'),
                       QString(kBarWidth - static_cast<int>(filled), ' '))
                  .arg(std::min<long long>(100, done * 100 / total)) +
              bar;
    }
    const int secondsLeft = progress.value("secondsLeft", "-1").toInt();
    return secondsLeft < 0 ? bar : bar + " " + clockText(secondsLeft) + " left";
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
    const QString progressRequest = QString("scandir=%1&getprogress").arg(instance);
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
        const auto progress = controller.request(progressRequest, 30000);
        const QString bar = progress ? progressBar(control::replyValues(*progress)) : QString();
        const QString line = progressLine(instance, status) + (bar.isEmpty() ? "" : "  " + bar);
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
