// ffmpeg command building. Proxy and mezzanine profiles are rows of one table, matched by the
// beginning of the profile word, first row first.
#include "tools/vexobase/profiles.h"

#include "tools/vexobase/query.h"

#include <sstream>

namespace vexobase
{

namespace
{

const char* const kH264 = "-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k";
const char* const kH264Mp4 = "-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k "
                             "-movflags +faststart";
const char* const kH264Fragmented =
    "-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "
    "-b:a 128k -movflags +frag_keyframe+empty_moov+default_base_moof";
const char* const kHevcMp4 = "-c:v libx265 -preset ultrafast -pix_fmt yuv420p -tag:v hvc1 "
                             "-c:a aac -b:a 128k -movflags +faststart";
const char* const kMpeg2 = "-c:v mpeg2video -pix_fmt yuv422p -g 12 -c:a pcm_s16le -ar 48000";
const char* const kProRes = "-c:v prores_ks -profile:v 2 -pix_fmt yuv422p10le -c:a pcm_s16le";
const char* const kMp3 = "-c:a libmp3lame -b:a 128k";
const char* const kWave = "-c:a pcm_s16le";

constexpr int kNoBitrate = -1; // the codec ignores a data rate (fixed quality or audio only)

struct Profile {
    const char* prefix; // beginning of the profile word, lower case
    const char* muxer;  // ffmpeg output format
    const char* codecs; // codec arguments
    const char* scale;  // default scale filter arguments, "" for the source's size
    int renditions;     // video renditions in the one output file
    bool audioOnly;     // no video stream
    int kilobitrate;    // default video data rate, 0 the codec's, kNoBitrate ignored
};

const Profile kProfiles[] = {
    {"mp3-128kbps", "mp3", kMp3, "", 1, true, kNoBitrate},
    {"ts-h264", "mpegts", kH264, "", 1, false, 0},
    {"mp4-h264", "mp4", kH264Mp4, "", 1, false, 0},
    {"hls-ts-multibitrate", "mpegts", kH264, "", 2, false, 4000},
    {"dash-mp4-multibitrate", "mp4", kH264Fragmented, "", 2, false, 4000},
    {"mxf-rdd-25", "mxf", kMpeg2, "", 1, false, 8000},
    {"mp4-multioutput", "mp4", kH264Mp4, "", 2, false, 4000},
    {"mov", "mov", kProRes, "", 1, false, kNoBitrate},
    {"mp3", "mp3", kMp3, "", 1, true, kNoBitrate},
    {"wave", "wav", kWave, "", 1, true, kNoBitrate},
    {"mp4", "mp4", kH264Mp4, "", 1, false, 0},
    {"mxf", "mxf", kMpeg2, "", 1, false, 50000},
    {"rvt", "mxf", kMpeg2, "", 1, false, 50000},
    {"dnxhd", "mxf", kMpeg2, "", 1, false, 50000},
    {"op1a", "mxf", kMpeg2, "", 1, false, 50000},
    {"ts-", "mpegts", kH264, "", 1, false, 0},
    {"hls", "mpegts", kH264, "", 1, false, 0},
    {"scaledown", "mp4", kH264Mp4, "trunc(iw/4)*2:-2", 1, false, 0},
    {"hd1080", "mp4", kH264Mp4, "-2:1080", 1, false, 0},
    {"hd720", "mp4", kH264Mp4, "-2:720", 1, false, 0},
    {"hd360", "mp4", kH264Mp4, "-2:360", 1, false, 0},
    {"h264", "mp4", kH264Mp4, "", 1, false, 0},
    {"h265", "mp4", kHevcMp4, "", 1, false, 0},
    {"hevc", "mp4", kHevcMp4, "", 1, false, 0},
    {"proxy", "mp4", kH264Mp4, "-2:360", 1, false, 1000},
    {"lbr", "mp4", kH264Mp4, "-2:360", 1, false, 500},
    {"dash", "mp4", kH264Fragmented, "", 1, false, 0},
};

// Output containers of the wrap, by the target's extension.
const std::pair<const char*, const char*> kContainers[] = {
    {"mov", "mov"},   {"mp4", "mp4"},     {"m4v", "mp4"},    {"m4a", "mp4"},      {"mxf", "mxf"},
    {"ts", "mpegts"}, {"m2ts", "mpegts"}, {"mts", "mpegts"}, {"mkv", "matroska"}, {"avi", "avi"},
    {"mp3", "mp3"},   {"wav", "wav"},     {"wave", "wav"},   {"aif", "aiff"},     {"aiff", "aiff"},
    {"mpg", "mpeg"},  {"mpeg", "mpeg"},   {"webm", "webm"},  {"flv", "flv"},      {"3gp", "3gp"},
    {"ac3", "ac3"},   {"aac", "adts"},
};

const Profile* findProfile(const std::string& word)
{
    const std::string lower = toLower(word);
    for (const Profile& profile : kProfiles)
        if (lower.rfind(profile.prefix, 0) == 0)
            return &profile;
    return nullptr;
}

void append(std::vector<std::string>& args, const std::string& words)
{
    std::istringstream stream(words);
    for (std::string word; stream >> word;)
        args.push_back(word);
}

std::vector<std::string> commandHead(const std::string& ffmpeg)
{
    return {ffmpeg, "-nostdin",  "-hide_banner", "-v",      "error",
            "-y",   "-progress", "pipe:1",       "-nostats"};
}

int even(int pixels)
{
    return pixels & ~1;
}

// The scale filter arguments asked for by the order, else the profile's default.
std::string scaleOf(const JobOrder& order, const char* fallback)
{
    const std::string w = std::to_string(even(order.width));
    const std::string h = std::to_string(even(order.height));
    if (order.width > 1 && order.height > 1)
        return w + ":" + h;
    if (order.width > 1)
        return w + ":-2";
    if (order.height > 1)
        return "-2:" + h;
    return fallback;
}

int kilobitrateOf(const JobOrder& order, const Profile& profile)
{
    if (profile.kilobitrate == kNoBitrate)
        return 0;
    return order.kilobitrate > 0 ? order.kilobitrate : profile.kilobitrate;
}

void appendVideoMaps(std::vector<std::string>& args, const JobOrder& order, const Profile& profile)
{
    const std::string scale = scaleOf(order, profile.scale);
    const int kbps = kilobitrateOf(order, profile);
    if (profile.renditions == 1) {
        append(args, "-map 0:v:0? -map 0:a:0?");
        if (!scale.empty())
            append(args, "-vf scale=" + scale);
        if (kbps > 0)
            append(args, "-b:v " + std::to_string(kbps) + "k");
        return;
    }
    // Two renditions: the asked size and data rate, and one at half the size and rate.
    const std::string head = scale.empty() ? "[0:v:0]" : "[0:v:0]scale=" + scale + ",";
    append(args, "-filter_complex " + head +
                     "split=2[r0][t];[t]scale=trunc(iw/4)*2:trunc(ih/4)*2[r1]"
                     " -map [r0] -map [r1] -map 0:a:0?");
    if (kbps > 0)
        append(args, "-b:v:0 " + std::to_string(kbps) + "k -b:v:1 " +
                         std::to_string(std::max(1, kbps / 2)) + "k");
}

std::string extensionOf(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return toLower(path.substr(dot + 1));
}

} // namespace

std::optional<JobKind> jobKind(const std::string& profile)
{
    const std::pair<const char*, JobKind> fixed[] = {
        {"picon", JobKind::Picon}, {"xmp", JobKind::Xmp}, {"index", JobKind::Index},
        {"wrap", JobKind::Wrap},   {"md5", JobKind::Md5},
    };
    const std::string lower = toLower(profile);
    for (const auto& entry : fixed)
        if (lower == entry.first)
            return entry.second;
    if (findProfile(profile))
        return JobKind::Transcode;
    return std::nullopt;
}

std::vector<std::string> piconCommand(const std::string& ffmpeg, const JobOrder& order,
                                      double seekSeconds, const std::string& output)
{
    std::vector<std::string> args = commandHead(ffmpeg);
    const int quality = std::min(100, std::max(1, order.quality));
    const int qscale = 2 + (100 - quality) * 29 / 100; // JPEG quality 100..1 as -q:v 2..31
    append(args, "-ss " + std::to_string(seekSeconds));
    args.insert(args.end(), {"-i", order.key.source});
    append(args, "-map 0:v:0 -frames:v 1 -q:v " + std::to_string(qscale));
    if (order.width > 0)
        append(args, "-vf scale=" + std::to_string(order.width) + ":-2");
    args.insert(args.end(), {"-f", "mjpeg", output});
    return args;
}

std::optional<std::vector<std::string>>
wrapCommand(const std::string& ffmpeg, const JobOrder& order, const std::string& output)
{
    const std::string extension = extensionOf(order.key.target);
    for (const auto& container : kContainers) {
        if (extension != container.first)
            continue;
        std::vector<std::string> args = commandHead(ffmpeg);
        args.insert(args.end(), {"-i", order.key.source});
        append(args, "-map 0:v? -map 0:a? -c copy");
        args.insert(args.end(), {"-f", container.second, output});
        return args;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>>
transcodeCommand(const std::string& ffmpeg, const JobOrder& order, const std::string& output)
{
    const Profile* profile = findProfile(order.key.profile);
    if (!profile)
        return std::nullopt;
    std::vector<std::string> args = commandHead(ffmpeg);
    args.insert(args.end(), {"-i", order.key.source});
    if (profile->audioOnly)
        append(args, "-map 0:a:0 -vn");
    else
        appendVideoMaps(args, order, *profile);
    append(args, profile->codecs);
    args.insert(args.end(), {"-f", profile->muxer, output});
    return args;
}

} // namespace vexobase
