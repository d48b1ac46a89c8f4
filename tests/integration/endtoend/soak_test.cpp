// 20,000 clips in 2,000 folders to completion, picon and MD5 on: every clip completes and the
// program's memory stays flat once the jobs run (a leak per job would add tens of megabytes).
#include "tests/integration/endtoend/e2efixture.h"
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

TEST(Soak, TwentyThousandClipsCompleteWithFlatMemory)
{
    const QString folder = testenv::makeDir("soak"), media = folder + "/media/";
    const QStringList clips = e2e::makeTree(media, 2000, 10);
    e2e::configure(Backend::SQLite, folder, media, {{"MakeMD5", 1}, {"MakeProxy", 0}});
    e2e::Service service;
    ASSERT_TRUE(service.start(50)) << "port 1080 taken";

    e2e::Driver driver;
    ASSERT_TRUE(driver.start("soak"));
    e2e::ClipDb db(Backend::SQLite, folder);
    // The first figure once 2,000 clips are complete, then the highest one until the end.
    long long settled = -1, highest = -1;
    const QRegularExpression resident("^VmRSS:\\s+(\\d+) kB", QRegularExpression::MultilineOption);
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        QFile status(QString("/proc/%1/status").arg(driver.pid()));
        const QRegularExpressionMatch vmRss = resident.match(
            status.open(QIODevice::ReadOnly) ? QString::fromLatin1(status.readAll()) : QString());
        if (!vmRss.hasMatch())
            return;
        const long long rss = vmRss.captured(1).toLongLong();
        if (settled >= 0)
            highest = std::max(highest, rss);
        else if (db.number("SELECT COUNT(*) FROM Clips WHERE Complete = 1") >= 2000)
            settled = rss;
    });
    sampler.start(1000);
    ASSERT_TRUE(driver.waitIdle(1500000)) << "the soak did not finish";
    sampler.stop();

    std::printf("soak: %lld kB after 2,000 clips, highest after that %lld kB\n", settled, highest);
    ASSERT_GT(settled, 0) << "never sampled during the jobs";
    // 16 MB for allocator noise, the log buffer and caches.
    EXPECT_LT(highest - settled, 16 * 1024) << "memory grew while the jobs ran";
    e2e::expectAllComplete(db, clips);
}
