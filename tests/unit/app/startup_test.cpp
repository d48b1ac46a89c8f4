// Program shell: message handler formats and the dump-all-commands level.
#include "app/startup.h"
#include "control/executecommand.h"
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

TEST(MessageHandler, FormatsEachMessageType)
{
    ErrLogSetFileName("handler");
    qInstallMessageHandler(qUSERMSGOutput);
    qDebug("plain");
    qDebug("-after");
    qWarning("careful %d", 1);
    qCritical("bad");
    qInfo("note");
    qInstallMessageHandler(nullptr);
    ErrLogClose();
    EXPECT_EQ(testenv::readLog("handler"),
              "plain-afterWarning: careful 1\nCritical: bad\nInfo: note\n");
}

TEST(DumpAllCommands, OnlyNumbersAreRead)
{
    QSettings settings("Velmora", "ClipwatchDumpTest");
    const std::pair<QVariant, int> cases[] = {{2, 2}, {"word", 0}, {"1", 1}, {QVariant(), 0}};
    for (const auto& [stored, level] : cases) {
        dumpAllCommandsLevel = 0;
        settings.clear();
        if (stored.isValid())
            settings.setValue("dumpallcommands", stored);
        readDumpAllCommands(settings);
        EXPECT_EQ(dumpAllCommandsLevel.load(), level) << stored.toString().toStdString();
    }
}
