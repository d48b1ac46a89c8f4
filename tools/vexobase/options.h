// Command-line options of the vexobase service.
#pragma once

#include <string>

namespace vexobase
{

struct Options {
    std::string bind = "127.0.0.1";  // address to listen on
    int port = 1080;                 // port to listen on; 0 picks a free one
    int jobs = 1;                    // worker threads, hence ffmpeg processes at once
    bool simulate = false;           // no ffmpeg: every job runs for jobMs
    bool logJobs = false;            // prints "job <profile> <source>" for every job it takes
    int jobMs = 2000;                // length of a simulated job
    int slowMs = 3000;               // delay of a reply marked slow
    std::string ffmpeg = "ffmpeg";   // ffmpeg executable
    std::string ffprobe = "ffprobe"; // ffprobe executable
};

// Parses argv into `options`. Returns an empty string on success, else the error text
// (which includes the usage when asked for --help).
std::string parseOptions(int argc, char** argv, Options& options);

} // namespace vexobase
