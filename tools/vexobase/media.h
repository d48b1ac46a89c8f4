// Media facts from ffprobe, and the texts made from them: the XMP packet and the RTIN index.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace vexobase
{

struct MediaInfo {
    double duration = 0; // seconds
    int width = 0;       // first video stream, pixels
    int height = 0;
    double frameRate = 0;      // frames per second of the first video stream
    std::string frameRateText; // as ffprobe gives it ("25/1")
    std::string videoCodec;    // ffprobe codec names, empty when there is no such stream
    std::string audioCodec;
    std::string created; // creation date, ISO 8601
};

// Probes `path` with ffprobe. On failure returns false with the reason in `error`.
bool probeMedia(const std::string& ffprobe, const std::string& path, MediaInfo& info,
                std::string& error, const std::atomic<bool>& stop);

// The XMP sidecar: an XMP packet with the duration, frame size, codecs, frame rate and date.
std::string xmpPacket(const MediaInfo& info);

struct KeyFrame {
    double time = 0;        // presentation time, seconds
    long long position = 0; // byte position of the frame's packet in the file
};

// ffprobe arguments listing the packets of the first video stream, one line each.
std::vector<std::string> packetListCommand(const std::string& ffprobe, const std::string& path);
// Reads one line of packetListCommand's output; true with `frame` filled for a key frame.
bool parseKeyFrame(const std::string& line, KeyFrame& frame);

// The RTIN index text: a header and one line per key frame, sorted by time.
std::string rtinText(const std::string& source, double duration, std::vector<KeyFrame> frames);

} // namespace vexobase
