// The log: whole lines under concurrent writers and for long texts, stderr after the close.
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <thread>
#include <vector>

TEST(Log, LinesStayWholeUnderConcurrentWritersAndForLongTexts)
{
    ErrLogSetFileName("concurrent");
    const int threads = 8, lines = 2000;
    const std::string payload(300, 'x');
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i)
                ErrOut("<%d:%d:%s>\n", t, i, payload.c_str());
        });
    for (auto& w : writers)
        w.join();
    ErrFmtOut(QZ_LEVEL_CAUTION, 0, 0, "CAUTION(CWSscan): %s\n", std::string(5000, 'y').c_str());
    ErrLogClose();
    ErrOut("after close goes to stderr\n");

    QStringList got = testenv::readLog("concurrent").split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(got.size(), threads * lines + 1);
    EXPECT_EQ(got.takeLast(), "CAUTION(CWSscan): " + QString(5000, 'y')) << "a long text whole";
    std::vector<int> next(threads, 0);
    for (const QString& line : got) {
        ASSERT_TRUE(line.startsWith('<') && line.endsWith('>')) << line.toStdString();
        const QStringList parts = line.mid(1, line.size() - 2).split(':');
        ASSERT_EQ(parts.size(), 3);
        EXPECT_EQ(parts[2].size(), 300);
        EXPECT_EQ(parts[1].toInt(), next[parts[0].toInt()]++) << "one thread's lines in order";
    }
}
