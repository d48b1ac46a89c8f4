// Program shell: message handler formats, the dump-all-commands level, media-library options.
#include "app/startup.h"
#include "platform/qzconfig.h"
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
    } cases[] = {{QVariant(1), 1},      {QVariant(2), 2},   {QVariant(-1), -1},
                 {QVariant("word"), 0}, {QVariant("1"), 1}, {QVariant(), 0}};
    for (const auto& c : cases) {
        dumpAllCommandsLevel = 0;
        QSettings settings("Velmora", "ClipwatchDumpTest");
        settings.clear();
        if (c.stored.isValid())
            settings.setValue("dumpallcommands", c.stored);
        readDumpAllCommands(settings);
        EXPECT_EQ(dumpAllCommandsLevel.load(), c.level) << c.stored.toString().toStdString();
    }
}

TEST(MediaLibraryOptions, SwitchedOffForTheRunAndRestored)
{
    uint32_t before = 7;
    qzCFGValueDword(-1, "Quillon\\Default", "AgressiveFileopen", &before, 1);

    const MediaLibraryOptions saved = switchMediaLibraryOptionsOff();
    EXPECT_EQ(saved.agressiveFileopen, 7u);
    EXPECT_EQ(saved.preLoadRVTDlls, 0u) << "an unreadable value is kept as 0";
    uint32_t during = 99;
    ASSERT_EQ(qzCFGValueDword(-1, "Quillon\\Default", "AgressiveFileopen", &during, 0), 0);
    EXPECT_EQ(during, 0u);
    ASSERT_EQ(qzCFGValueDword(-1, "Quillon\\PlugIns\\RVT", "PreLoadRVTDlls", &during, 0), 0);
    EXPECT_EQ(during, 0u);

    restoreMediaLibraryOptions(saved);
    uint32_t after = 0;
    qzCFGValueDword(-1, "Quillon\\Default", "AgressiveFileopen", &after, 0);
    EXPECT_EQ(after, 7u);
    after = 99;
    qzCFGValueDword(-1, "Quillon\\PlugIns\\RVT", "PreLoadRVTDlls", &after, 0);
    EXPECT_EQ(after, 0u) << "an unreadable value is restored as 0";
}

TEST(Startup, WindowTitleCarriesTheVersion)
{
    EXPECT_EQ(clipwatchWindowTitle(), "Clipwatch (v7.0.0.851)");
}
