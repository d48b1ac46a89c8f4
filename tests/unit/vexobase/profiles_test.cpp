// ffmpeg commands: what the service cannot show in its output.
#include "tools/vexobase/profiles.h"

#include <gtest/gtest.h>

using namespace vexobase;

TEST(Profiles, CommandsCarryTheAskedRateSizeSeekAndQuality)
{
    const auto command = [](const std::string& profile, int width, int height, int kbps) {
        JobOrder order;
        order.key = JobKey{"c", "/in.mov", "/out.x", profile};
        order.width = width;
        order.height = height;
        order.kilobitrate = kbps;
        order.quality = 100;
        std::string text;
        for (const std::string& arg : profile == "picon" ? piconCommand("ffmpeg", order, 1.5, "/t")
                                                         : *transcodeCommand("ffmpeg", order, "/t"))
            text += arg + " ";
        return text;
    };
    for (const auto& [text, expected] : {
             std::pair{command("mp4-h264", 0, 361, 800), "-vf scale=-2:360 -b:v 800k"},
             std::pair{command("HLS-TS-Multibitrate", 0, 0, 2000), "-b:v:0 2000k -b:v:1 1000k"},
             std::pair{command("picon", 160, 0, 0), "-ss 1.5"},
             std::pair{command("picon", 160, 0, 0), "-q:v 2 -vf scale=160:-2"},
         })
        EXPECT_NE(text.find(expected), std::string::npos) << text;
}
