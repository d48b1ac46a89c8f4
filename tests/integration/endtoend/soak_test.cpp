// 20,000 clips in 2,000 folders to completion, picon and MD5 on: every clip completes and the
// program's memory stays flat once the jobs run (a leak per job would add tens of megabytes).
#include "tests/integration/endtoend/e2efixture.h"
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

namespace
{

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long long statusKb(qint64 pid, const char* field)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QString("^%1:\\s+(\\d+) kB").arg(field),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// Growth allowed between the first jobs and the end: allocator noise, the log buffer, caches.
constexpr long long kFlatKb = 16 * 1024;

} // namespace

TEST(Soak, TwentyThousandClipsCompleteWithFlatMemory)
{
    const QString folder = testenv::makeDir("soak");
    const QString media = folder + "/media/";
    const QStringList clips = e2e::makeTree(media, 2000, 10);
    e2e::configure(Backend::SQLite, folder, media,
                   {{"MakeMD5", 1}, {"MakeProxy", 0}, {"MaxTranslations", 40}});
    e2e::Service service;
    ASSERT_TRUE(service.start(50)) << "port 1080 taken";

    e2e::Driver driver;
    ASSERT_TRUE(driver.start("soak"));
    const qint64 pid = driver.pid();
    e2e::ClipDb db(Backend::SQLite, folder);
    // The first figure once 2,000 clips are complete, then the highest one until the end.
    long long settled = -1, highest = -1, peak = -1;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const long long rss = statusKb(pid, "VmRSS");
        if (rss < 0)
            return;
        peak = std::max(peak, statusKb(pid, "VmHWM"));
        if (settled < 0) {
            if (db.number("SELECT COUNT(*) FROM Clips WHERE Complete = 1") >= 2000)
                settled = rss;
            return;
        }
        highest = std::max(highest, rss);
    });
    sampler.start(1000);
    ASSERT_TRUE(driver.waitIdle(1500000)) << "the soak did not finish";
    sampler.stop();

    std::printf("soak: peak %lld kB, %lld kB after 2,000 clips, highest after that %lld kB\n", peak,
                settled, highest);
    ASSERT_GT(settled, 0) << "never sampled during the jobs";
    EXPECT_LT(highest - settled, kFlatKb) << "memory grew while the jobs ran";
    e2e::expectAllComplete(db, clips);
}
