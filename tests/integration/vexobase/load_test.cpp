// vexobase under load: 200 queued real jobs never run more than --jobs child processes at once,
// and 10k simulated jobs started and purged leave the memory where it was.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <atomic>
#include <thread>

using namespace vexotest;

namespace
{

// Number of processes whose parent is `pid`.
int childCount(qint64 pid)
{
    int count = 0;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // "pid (name) state ppid ...": the name may hold spaces, so read after the last ')'.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid)
            ++count;
    }
    return count;
}

long rssKb(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

TEST(Load, QueuedJobsNeverRunMoreThanTheWorkerCount)
{
    const QString dir = testenv::makeDir("load");
    const std::string clip = (dir + "/tiny.mov").toStdString();
    QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                 "testsrc=size=64x48:rate=10:duration=1", "-c:v", "mpeg4",
                                 QString::fromStdString(clip)});
    ASSERT_TRUE(QFile::exists(QString::fromStdString(clip)));
    Service service({"--jobs", "2"});
    ASSERT_TRUE(service.started());

    std::atomic<bool> sampling{true};
    std::atomic<int> most{0};
    std::thread sampler([&] {
        while (sampling) {
            most = std::max(most.load(), childCount(service.pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int jobs = 200;
    auto target = [&](int i) { return dir.toStdString() + "/out" + std::to_string(i) + ".mkv"; };
    for (int i = 0; i < jobs; ++i)
        ASSERT_NE(service.get(startQuery(clip, target(i), "wrap")).value_or("").find("success"),
                  std::string::npos);
    int done = 0;
    for (int i = 0; i < jobs; ++i)
        done +=
            progressOf(service.waitForEnd(statusQuery(clip, target(i), "wrap"), 120000)) == 10000;
    sampling = false;
    sampler.join();
    EXPECT_EQ(done, jobs);
    EXPECT_GE(most.load(), 1) << "the sampler saw ffmpeg at work";
    EXPECT_LE(most.load(), 2);
}

TEST(Load, PurgedJobsFreeTheirEntries)
{
    const QString dir = testenv::makeDir("memory");
    QFile file(dir + "/clip.mov");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    const std::string source = file.fileName().toStdString();
    Service service({"--simulate", "--job-ms", "1", "--jobs", "2"});
    ASSERT_TRUE(service.started());

    auto cycles = [&](int from, int count) {
        for (int i = from; i < from + count; ++i) {
            const std::string target = dir.toStdString() + "/t" + std::to_string(i) + ".xmp";
            ASSERT_NE(service.get(startQuery(source, target, "xmp")).value_or("").find("success"),
                      std::string::npos);
            std::string purge = statusQuery(source, target, "xmp") + "&purge=true";
            purge.replace(purge.find("request=get"), 11, "request=set");
            ASSERT_EQ(replyValue(service.get(purge).value_or(""), "result"), "0");
        }
    };
    cycles(0, 1000);
    const long before = rssKb(service.pid());
    cycles(1000, 10000);
    const long after = rssKb(service.pid());
    const std::string probe = service.get("/vexojson?request=get&client=a&group=0").value_or("");
    EXPECT_EQ(replyValue(probe, "jobs"), "0") << probe;
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 5 * 1024) << "RSS before " << before << " kB, after " << after;
    std::printf("vexobase RSS %ld kB before and %ld kB after 10000 start+purge cycles\n", before,
                after);
}

} // namespace
