// Real work of vexobase with ffmpeg on small clips made here (testsrc and sine, several
// containers): picons, proxies and mezzanine files, wrap, MD5, XMP, RTIN, failures and aborts.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QXmlStreamReader>

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
    const QString path = dir + "/" + name;
    const QString length = QString::number(seconds);
    run("ffmpeg", QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc=size=" + size + ":rate=25:duration=" + length, "-f", "lavfi",
                              "-i", "sine=sample_rate=48000:duration=" + length, "-g", "25"} +
                      codecs + QStringList{"-shortest", path});
    EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    return path.toStdString();
}

double durationOf(const std::string& path)
{
    return run("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of",
                           "default=nw=1:nk=1", QString::fromStdString(path)})
        .toDouble();
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

    // Starts a job and waits for its end; returns the final status reply.
    std::string runJob(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra = {})
    {
        const std::string started =
            service->get(startQuery(source, target, profile, extra)).value_or("");
        EXPECT_NE(started.find("success"), std::string::npos) << profile << ": " << started;
        return service->waitForEnd(statusQuery(source, target, profile), 120000);
    }

    static QString dir;
    static std::vector<std::string> clips;
    static Service* service;
};

QString Ffmpeg::dir;
std::vector<std::string> Ffmpeg::clips;
Service* Ffmpeg::service = nullptr;

TEST_F(Ffmpeg, PiconIsAJpegOfTheAskedWidth)
{
    ASSERT_TRUE(service->started());
    for (const std::string& clip : clips) {
        const std::string target = clip + ".picon.jpg";
        const std::string start =
            "/vexojson?request=set&client=127.0.0.1&command=copy&pisrc=" + clip +
            "&pidst=" + target + "&profile=picon&width=160&piframe=30&piquality=90";
        ASSERT_NE(service->get(start).value_or("").find("success"), std::string::npos);
        const std::string ended = service->waitForEnd(statusQuery(clip, target, "picon"), 60000);
        ASSERT_EQ(progressOf(ended), 10000) << ended;
        QFile jpeg(QString::fromStdString(target));
        ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly)) << target;
        EXPECT_TRUE(jpeg.read(2) == QByteArray("\xFF\xD8", 2)) << "JPEG start of image";
        EXPECT_EQ(run("ffprobe", {"-v", "error", "-show_entries", "stream=width", "-of",
                                  "default=nw=1:nk=1", QString::fromStdString(target)}),
                  "160");
    }
}

TEST_F(Ffmpeg, ProxiesAndMezzaninesKeepTheDuration)
{
    const std::string source = clips[0];
    const double expected = durationOf(source);
    const struct {
        const char* profile;
        const char* extension;
    } cases[] = {
        {"mp3-128kbps", ".mp3"},
        {"TS-h264", ".ts"},
        {"mp4-h264", ".mp4"},
        {"HLS-TS-Multibitrate", ".ts"},
        {"DASH-MP4-Multibitrate", ".m4v"},
        {"MXF-RDD-25", ".mxf"},
        {"MP4-MultiOutput", ".mp4"},
        {"mov-prores", ".mov"},
        {"hevc", ".mp4"},
        {"mxf-op1a", ".mxf"},
        {"wave", ".wave"},
    };
    for (const auto& c : cases) {
        const std::string target = dir.toStdString() + "/proxy-" + c.profile + c.extension;
        const std::string ended = runJob(source, target, c.profile, "&kilobitrate=800&width=160");
        ASSERT_EQ(progressOf(ended), 10000) << c.profile << ": " << ended;
        EXPECT_NEAR(durationOf(target), expected, 0.2) << c.profile;
    }
}

TEST_F(Ffmpeg, ProxyHonoursWidthAndHeight)
{
    const std::string target = dir.toStdString() + "/sized.mp4";
    ASSERT_EQ(progressOf(runJob(clips[1], target, "mp4-h264", "&kilobitrate=300&height=120")),
              10000);
    EXPECT_EQ(
        run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                        "stream=width,height", "-of", "csv=p=0", QString::fromStdString(target)}),
        "160,120");
}

TEST_F(Ffmpeg, WrapCopiesIntoAnotherContainer)
{
    for (const std::string& clip : {clips[0], clips[2]}) {
        const std::string target = clip + ".wrapped.mkv";
        ASSERT_EQ(progressOf(runJob(clip, target, "wrap")), 10000);
        EXPECT_NEAR(durationOf(target), durationOf(clip), 0.2);
    }
}

TEST_F(Ffmpeg, Md5EqualsMd5sum)
{
    for (const std::string& clip : clips) {
        const std::string ended = runJob(clip, clip, "md5");
        const QString md5sum = run("md5sum", {QString::fromStdString(clip)}).section(' ', 0, 0);
        EXPECT_EQ(replyValue(ended, "resultstring"), md5sum.toStdString()) << clip;
    }
}

TEST_F(Ffmpeg, XmpIsXmlNamingTheDuration)
{
    const std::string target = clips[1] + ".xmp";
    ASSERT_EQ(progressOf(runJob(clips[1], target, "xmp")), 10000);
    QFile file(QString::fromStdString(target));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString duration, width, compressor;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("value"))
            duration = xml.readElementText();
        else if (xml.name() == QLatin1String("w"))
            width = xml.readElementText();
        else if (xml.name() == QLatin1String("videoCompressor"))
            compressor = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_NEAR(duration.toDouble(), durationOf(clips[1]), 0.05);
    EXPECT_EQ(width, "320");
    EXPECT_EQ(compressor, "h264");
}

TEST_F(Ffmpeg, IndexListsKeyFramesInTimeOrder)
{
    for (const std::string& clip : {clips[0], clips[3]}) {
        const std::string target = clip + ".rtin";
        ASSERT_EQ(progressOf(runJob(clip, target, "index")), 10000);
        QFile file(QString::fromStdString(target));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 4);
        EXPECT_EQ(lines[0], "RTIN 1");
        const int count = lines[3].section(' ', 1).toInt();
        ASSERT_EQ(lines.size(), 4 + count);
        EXPECT_GE(count, 4) << "a key frame every second of a 4 s clip";
        double previous = -1;
        for (int i = 4; i < lines.size(); ++i) {
            const double time = lines[i].section(' ', 0, 0).toDouble();
            EXPECT_GT(time, previous) << lines[i].toStdString();
            EXPECT_GE(lines[i].section(' ', 1, 1).toLongLong(), 0);
            previous = time;
        }
    }
}

TEST_F(Ffmpeg, BrokenSourceFailsWithTheErrorText)
{
    const std::string source = dir.toStdString() + "/broken.mov";
    QFile file(QString::fromStdString(source));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const std::string ended = runJob(source, source + ".mp4", "mp4-h264");
    EXPECT_EQ(progressOf(ended), -1) << ended;
    EXPECT_NE(replyValue(ended, "result"), "0");
    EXPECT_FALSE(replyValue(ended, "resultstring").value_or("").empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(source + ".mp4")));
}

TEST_F(Ffmpeg, AbortMidJobLeavesNoFile)
{
    const QString sub = testenv::makeDir("abort");
    const std::string source = makeClip(
        sub, "long.mov", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, 30, "640x480");
    const std::string target = sub.toStdString() + "/long-mezzanine.mov";
    ASSERT_NE(service->get(startQuery(source, target, "mov")).value_or("").find("success"),
              std::string::npos);
    int progress = 0;
    for (int i = 0; i < 600 && progress <= 0; ++i) {
        QThread::msleep(50);
        progress = progressOf(service->get(statusQuery(source, target, "mov")).value_or(""));
    }
    ASSERT_GT(progress, 0);
    ASSERT_LT(progress, 10000) << "the job ended before it could be aborted";
    const std::string abort = "/vexojson?request=set&group=any" +
                              jobFragments("127.0.0.1", source, target, "mov") + "&abort=true";
    EXPECT_EQ(replyValue(service->get(abort).value_or(""), "result"), "0");
    QThread::msleep(1000);
    EXPECT_EQ(QDir(sub).entryList(QDir::Files), QStringList{"long.mov"});
}

} // namespace
