// Program shell: message handler, dump-all-commands level and the media-library options.
#include "app/startup.h"

#include "control/executecommand.h"
#include "platform/qzconfig.h"
#include "platform/qzlog.h"

namespace
{
const char kDefaultSection[] = "Quillon\\Default";
const char kRvtSection[] = "Quillon\\PlugIns\\RVT";
} // namespace

void readDumpAllCommands(const QSettings& settings)
{
    if (settings.contains("dumpallcommands"))
        dumpAllCommandsLevel = settings.value("dumpallcommands").toInt();
}

void qUSERMSGOutput(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    const QByteArray text = message.toLocal8Bit();
    switch (type) {
    case QtDebugMsg:
        ErrOut("%s", text.constData());
        break;
    case QtWarningMsg:
        ErrOut("Warning: %s\n", text.constData());
        break;
    case QtCriticalMsg:
        ErrOut("Critical: %s\n", text.constData());
        break;
    case QtFatalMsg:
        ErrOut("Fatal: %s\n", text.constData());
        break;
    case QtInfoMsg:
        ErrOut("Info: %s\n", text.constData());
        break;
    }
}

MediaLibraryOptions switchMediaLibraryOptionsOff()
{
    MediaLibraryOptions saved;
    uint32_t off = 0;
    qzCFGValueDword(-1, kDefaultSection, "AgressiveFileopen", &saved.agressiveFileopen, 0);
    qzCFGValueDword(-1, kDefaultSection, "AgressiveFileopen", &off, 1);
    qzCFGValueDword(-1, kRvtSection, "PreLoadRVTDlls", &saved.preLoadRVTDlls, 0);
    qzCFGValueDword(-1, kRvtSection, "PreLoadRVTDlls", &off, 1);
    return saved;
}

void restoreMediaLibraryOptions(const MediaLibraryOptions& saved)
{
    uint32_t value = saved.preLoadRVTDlls;
    qzCFGValueDword(-1, kRvtSection, "PreLoadRVTDlls", &value, 1);
    value = saved.agressiveFileopen;
    qzCFGValueDword(-1, kDefaultSection, "AgressiveFileopen", &value, 1);
}
