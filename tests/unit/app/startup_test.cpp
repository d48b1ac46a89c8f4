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
    const struct {
        QVariant stored; // invalid: key absent
        int level;
    } cases[] = {{QVariant(2), 2},
                 {QVariant(-1), -1},
                 {QVariant("word"), 0},
                 {QVariant("1"), 1},
                 {QVariant(), 0}};
    QSettings settings("Velmora", "ClipwatchDumpTest");
    for (const auto& c : cases) {
        dumpAllCommandsLevel = 0;
        settings.clear();
        if (c.stored.isValid())
            settings.setValue("dumpallcommands", c.stored);
        readDumpAllCommands(settings);
        EXPECT_EQ(dumpAllCommandsLevel.load(), c.level) << c.stored.toString().toStdString();
    }
}
