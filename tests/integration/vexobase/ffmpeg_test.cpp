// Real work of vexobase with ffmpeg on small clips made here, and the service under load.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QThread>
#include <QXmlStreamReader>

#include <atomic>
#include <thread>

using namespace vexotest;

namespace
{

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Makes a clip of `seconds` with a key frame every second.
std::string makeClip(const QString& dir, const QString& name, const QStringList& codecs,
                     int seconds = 4, const QString& size = "320x240")
{
    const QString path = dir + "/" + name, length = QString::number(seconds);
    run("ffmpeg", QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc=size=" + size + ":rate=25:duration=" + length, "-f", "lavfi",
                              "-i", "sine=sample_rate=48000:duration=" + length, "-g", "25"} +
                      codecs + QStringList{"-shortest", path});
    EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    return path.toStdString();
}

// ffprobe's view of a file: the duration, the format, the widths of the video streams ("160 80").
struct Probe {
    double duration = 0;
    QString format, widths;
};

Probe probe(const std::string& path)
{
    const QJsonObject json =
        QJsonDocument::fromJson(
            run("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                            "format=duration,format_name:stream=width", "-of", "json",
                            QString::fromStdString(path)})
                .toUtf8())
            .object();
    QStringList widths;
    for (const QJsonValue stream : json["streams"].toArray())
        widths << QString::number(stream["width"].toInt());
    return {json["format"]["duration"].toString().toDouble(),
            json["format"]["format_name"].toString(), widths.join(' ')};
}

QByteArray contents(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll();
}

class Ffmpeg : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = testenv::makeDir("ffmpeg");
        const QStringList h264 = {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"};
        clips = {
            makeClip(dir, "clip & one.mov", h264),
            makeClip(dir, "clip.mp4", h264),
            makeClip(dir, "clip.mxf", {"-c:v", "mpeg2video", "-c:a", "pcm_s16le"}),
            makeClip(dir, "clip.ts", {"-c:v", "mpeg2video", "-c:a", "mp2"}),
        };
        service = new Service({"--jobs", "2"});
    }
    static void TearDownTestSuite() { delete service; }
    void SetUp() override { ASSERT_TRUE(service->started()); }

    std::string runJob(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra = {})
    {
        EXPECT_TRUE(service->startJob(source, target, profile, extra)) << profile;
        return service->waitForEnd(source, target, profile, 120000);
    }

    static inline QString dir;
    static inline std::vector<std::string> clips;
    static inline Service* service = nullptr;
};

TEST_F(Ffmpeg, MediaOutputsKeepTheDurationAndTakeTheAskedWidthAndContainer)
{
    const struct {
        size_t clip;
        const char* profile;
        const char* extension;
        const char* widths; // of the video streams, even
        const char* format; // start of ffprobe's format name
    } cases[] = {
        {0, "mp3-128kbps", ".mp3", "", "mp3"},
        {0, "mp4-h264", ".mp4", "160", "mov,mp4"},
        {0, "HLS-TS-Multibitrate", ".ts", "160 80", "mpegts"},
        {0, "DASH-MP4-Multibitrate", ".m4v", "160 80", "mov,mp4"},
        {0, "MXF-RDD-25", ".mxf", "160", "mxf"},
        {0, "mov-prores", ".mov", "160", "mov,mp4"},
        {0, "wrap", ".MKV", "320", "matroska"}, // copied into the target's container
    };
    for (const auto& c : cases) {
        const std::string source = clips[c.clip], target = source + "." + c.profile + c.extension;
        const std::string ended = runJob(source, target, c.profile, "&kilobitrate=800&width=161");
        ASSERT_EQ(progressOf(ended), 10000) << c.profile << ": " << ended;
        const Probe out = probe(target);
        EXPECT_NEAR(out.duration, probe(source).duration, 0.2) << c.profile;
        EXPECT_EQ(out.widths, c.widths) << c.profile;
        EXPECT_TRUE(out.format.startsWith(c.format))
            << c.profile << ": " << out.format.toStdString();
    }
}

TEST_F(Ffmpeg, PiconsOfEveryContainer)
{
    for (const std::string& clip : clips) {
        const std::string target = clip + ".picon.jpg";
        const std::string start =
            "/vexojson?request=set&client=127.0.0.1&command=copy&pisrc=" + clip +
            "&pidst=" + target + "&profile=picon&width=160&piframe=30&piquality=90";
        ASSERT_NE(service->get(start).value_or("").find("success"), std::string::npos);
        // Started with pisrc and pidst, polled with source and target.
        const std::string ended = service->waitForEnd(clip, target, "picon", 60000);
        ASSERT_EQ(progressOf(ended), 10000) << ended;
        EXPECT_TRUE(contents(target).startsWith("\xFF\xD8")) << "JPEG start of image";
        EXPECT_EQ(probe(target).widths, "160");
    }
}

TEST_F(Ffmpeg, XmpNamesTheDurationAndTheIndexListsKeyFramesInTimeOrder)
{
    const std::string target = clips[1] + ".xmp";
    ASSERT_EQ(progressOf(runJob(clips[1], target, "xmp")), 10000);
    QXmlStreamReader xml(contents(target));
    QMap<QString, QString> values;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            QStringList{"value", "w", "videoCompressor"}.contains(xml.name().toString()))
            values[xml.name().toString()] = xml.readElementText();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_NEAR(values["value"].toDouble(), probe(clips[1]).duration, 0.05);
    EXPECT_EQ(values["w"], "320");
    EXPECT_EQ(values["videoCompressor"], "h264");

    for (const std::string& clip : {clips[0], clips[3]}) {
        const std::string target = clip + ".rtin";
        ASSERT_EQ(progressOf(runJob(clip, target, "index")), 10000);
        const QStringList lines =
            QString::fromUtf8(contents(target)).split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 4);
        EXPECT_EQ(lines[0], "RTIN 1");
        const int count = lines[3].section(' ', 1).toInt();
        ASSERT_EQ(lines.size(), 4 + count);
        EXPECT_GE(count, 4) << "a key frame every second of a 4 s clip";
        for (int i = 5; i < lines.size(); ++i) {
            EXPECT_GT(lines[i].section(' ', 0, 0).toDouble(),
                      lines[i - 1].section(' ', 0, 0).toDouble())
                << lines[i].toStdString();
            EXPECT_GE(lines[i].section(' ', 1, 1).toLongLong(), 0);
        }
    }
}

TEST_F(Ffmpeg, ABrokenSourceFailsWithTheErrorTextAndAnAbortMidJobLeavesNoFile)
{
    const QString sub = testenv::makeDir("abort");
    const std::string broken = sub.toStdString() + "/broken.mov";
    ASSERT_TRUE(scanenv::touch(QString::fromStdString(broken)));
    const std::string ended = runJob(broken, broken + ".mp4", "mp4-h264");
    EXPECT_EQ(progressOf(ended), -1) << ended;
    EXPECT_NE(replyValue(ended, "result"), "0");
    EXPECT_FALSE(replyValue(ended, "resultstring").value_or("").empty());

    const std::string source = makeClip(
        sub, "long.mov", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, 30, "640x480");
    const std::string target = sub.toStdString() + "/long-mezzanine.mov";
    ASSERT_TRUE(service->startJob(source, target, "mov"));
    int progress = 0;
    for (int i = 0; i < 600 && progress <= 0; ++i) {
        QThread::msleep(50);
        progress = progressOf(service->get(jobQuery("get", source, target, "mov")).value_or(""));
    }
    ASSERT_GT(progress, 0);
    ASSERT_LT(progress, 10000) << "the job ended before it could be aborted";
    const std::string abort = jobQuery("set", source, target, "mov") + "&abort=true";
    EXPECT_EQ(replyValue(service->get(abort).value_or(""), "result"), "0");
    QThread::msleep(1000);
    EXPECT_EQ(QDir(sub).entryList(QDir::Files), QStringList({"broken.mov", "long.mov"}));
}

TEST_F(Ffmpeg, QueuedJobsNeverRunMoreThanTheWorkerCount)
{
    const std::string clip = makeClip(dir, "tiny.mov", {"-c:v", "mpeg4"}, 1, "64x48");
    std::atomic<bool> sampling{true};
    std::atomic<int> most{0};
    std::thread sampler([&] {
        while (sampling) {
            const int children =
                run("pgrep", {"-c", "-P", QString::number(service->pid())}).toInt();
            most = std::max(most.load(), children);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int jobs = 200;
    auto target = [&](int i) { return dir.toStdString() + "/out" + std::to_string(i) + ".mkv"; };
    for (int i = 0; i < jobs; ++i)
        ASSERT_TRUE(service->startJob(clip, target(i), "wrap"));
    int done = 0;
    for (int i = 0; i < jobs; ++i)
        done += progressOf(service->waitForEnd(clip, target(i), "wrap", 120000)) == 10000;
    sampling = false;
    sampler.join();
    EXPECT_EQ(done, jobs);
    EXPECT_GE(most.load(), 1) << "the sampler saw ffmpeg at work";
    EXPECT_LE(most.load(), 2);
}

TEST(Load, PurgedJobsFreeTheirEntries)
{
    const std::string source = makeClip(testenv::makeDir("memory"), "clip.mov", {}, 1, "64x48");
    Service service({"--simulate", "--job-ms", "1", "--jobs", "2"});
    ASSERT_TRUE(service.started());
    auto cycles = [&](int from, int count) {
        for (int i = from; i < from + count; ++i) {
            const std::string target = source + std::to_string(i) + ".xmp";
            ASSERT_TRUE(service.startJob(source, target, "xmp"));
            const std::string purge = jobQuery("set", source, target, "xmp") + "&purge=true";
            ASSERT_EQ(replyValue(service.get(purge).value_or(""), "result"), "0");
        }
    };
    cycles(0, 1000);
    const auto rssKb = [&] {
        return run("ps", {"-o", "rss=", "-p", QString::number(service.pid())}).toLong();
    };
    const long before = rssKb();
    cycles(1000, 10000);
    const long after = rssKb();
    const std::string probe = service.get("/vexojson?request=get&client=a&group=0").value_or("");
    EXPECT_EQ(replyValue(probe, "jobs"), "0") << probe;
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 5 * 1024) << "RSS before " << before << " kB, after " << after;
}

} // namespace
