// ffmpeg command building: every profile word the program sends, sizes, data rates and
// renditions; fault markers and reply values.
#include "tools/vexobase/faults.h"
#include "tools/vexobase/profiles.h"
#include "tools/vexobase/replies.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vexobase;

namespace
{

std::string joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& arg : args)
        text += arg + " ";
    return text;
}

JobOrder orderFor(const std::string& profile, int width = 0, int height = 0, int kbps = 0)
{
    JobOrder order;
    order.key = JobKey{"c", "/in.mov", "/out.x", profile};
    order.width = width;
    order.height = height;
    order.kilobitrate = kbps;
    return order;
}

TEST(Profiles, EveryWordOfTheProgramIsKnown)
{
    for (const char* word :
         {"mp3-128kbps", "TS-h264", "mp4-h264", "HLS-TS-Multibitrate", "DASH-MP4-Multibitrate",
          "MXF-RDD-25", "MP4-MultiOutput", "mov-hq", "MP4-high", "mxf-xdcam", "op1a-imx50",
          "H264-8M", "HEVC-main", "hd720", "wave48k"})
        EXPECT_EQ(jobKind(word), JobKind::Transcode) << word;
    EXPECT_EQ(jobKind("PICON"), JobKind::Picon);
    EXPECT_EQ(jobKind("index"), JobKind::Index);
    EXPECT_EQ(jobKind("md5"), JobKind::Md5);
    EXPECT_FALSE(jobKind("aces"));
    EXPECT_FALSE(jobKind(""));
    EXPECT_FALSE(transcodeCommand("ffmpeg", orderFor("nonsense"), "/t"));
}

TEST(Profiles, SizeAndDataRateAreHonoured)
{
    const struct {
        int width, height, kbps;
        const char* expected;
    } cases[] = {
        {640, 0, 800, "-vf scale=640:-2 -b:v 800k"},
        {0, 360, 0, "-vf scale=-2:360 -c:v"},
        {641, 361, 0, "-vf scale=640:360 -c:v"},
    };
    for (const auto& c : cases) {
        const std::string args = joined(
            *transcodeCommand("ffmpeg", orderFor("mp4-h264", c.width, c.height, c.kbps), "/t"));
        EXPECT_NE(args.find(c.expected), std::string::npos) << args;
        EXPECT_NE(args.find("-f mp4 /t"), std::string::npos) << args;
    }
    const std::string hd = joined(*transcodeCommand("ffmpeg", orderFor("hd720"), "/t"));
    EXPECT_NE(hd.find("scale=-2:720"), std::string::npos) << hd;
}

TEST(Profiles, MultibitrateMakesTwoRenditions)
{
    const std::string args =
        joined(*transcodeCommand("ffmpeg", orderFor("HLS-TS-Multibitrate", 0, 0, 2000), "/t"));
    EXPECT_NE(args.find("split=2"), std::string::npos) << args;
    EXPECT_NE(args.find("-map [r0] -map [r1]"), std::string::npos);
    EXPECT_NE(args.find("-b:v:0 2000k -b:v:1 1000k"), std::string::npos);
    EXPECT_NE(args.find("-f mpegts"), std::string::npos);
}

TEST(Profiles, AudioOnlyAndFixedQualityIgnoreTheDataRate)
{
    for (const char* word : {"mp3-128kbps", "mov"}) {
        const std::string args =
            joined(*transcodeCommand("ffmpeg", orderFor(word, 0, 0, 5000), "/t"));
        EXPECT_EQ(args.find("5000k"), std::string::npos) << args;
    }
    const std::string mp3 = joined(*transcodeCommand("ffmpeg", orderFor("mp3-128kbps"), "/t"));
    EXPECT_NE(mp3.find("-vn"), std::string::npos);
}

TEST(Profiles, WrapPicksTheContainerOfTheTarget)
{
    JobOrder order = orderFor("wrap");
    order.key.target = "/o/Clip.MXF";
    EXPECT_NE(joined(*wrapCommand("ffmpeg", order, "/t")).find("-c copy -f mxf /t"),
              std::string::npos);
    order.key.target = "/o.d/clip";
    EXPECT_FALSE(wrapCommand("ffmpeg", order, "/t")) << "a dot in a folder is no extension";
}

TEST(Profiles, PiconSeeksScalesAndSetsQuality)
{
    JobOrder order = orderFor("picon", 160);
    order.quality = 100;
    const std::string args = joined(piconCommand("ffmpeg", order, 1.5, "/t"));
    EXPECT_NE(args.find("-ss 1.5"), std::string::npos) << args;
    EXPECT_NE(args.find("-frames:v 1 -q:v 2 -vf scale=160:-2 -f mjpeg /t"), std::string::npos);
}

TEST(Faults, MarkersNameTheirMode)
{
    EXPECT_EQ(faultFromMarker("/m/a.VexoFault-Stall.mov"), Fault::Stall);
    EXPECT_EQ(faultFromMarker("/m/vexofault-forget/a.mov"), Fault::Forget);
    EXPECT_EQ(faultFromMarker("/m/vexofault-zzz.mov"), Fault::None);
    EXPECT_EQ(faultFromMarker("/m/fail.mov"), Fault::None);
}

TEST(Replies, ValuesCannotEndEarly)
{
    EXPECT_EQ(replyValue("a\"b\n\\c,d"), "a\\u0022b\n\\c,d");
    const std::string accepted = startAccepted();
    EXPECT_NE(accepted.find("success"), std::string::npos);
    EXPECT_EQ(accepted.find("fail"), std::string::npos);
    EXPECT_EQ(accepted.find(": "), std::string::npos) << "no spaces around the colons";
}

} // namespace
