// Command-line parsing of the vexobase service: "--name value" pairs and the --simulate switch.
#include "tools/vexobase/options.h"

#include <thread>

namespace vexobase
{

namespace
{

const char* const kUsage =
    "usage: vexobase [--bind ADDRESS] [--port N] [--jobs N] [--simulate] [--job-ms N]\n"
    "                [--slow-ms N] [--ffmpeg PATH] [--ffprobe PATH] [--log-jobs]\n";

bool readInt(const std::string& text, int low, int& out)
{
    try {
        size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used != text.size() || value < low)
            return false;
        out = value;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

std::string parseOptions(int argc, char** argv, Options& options)
{
    options.jobs = std::max(1u, std::thread::hardware_concurrency());
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--simulate" || name == "--log-jobs") {
            (name == "--simulate" ? options.simulate : options.logJobs) = true;
            continue;
        }
        if (name == "--help" || i + 1 >= argc)
            return std::string(name == "--help" ? "" : "missing value for " + name + "\n") + kUsage;
        const std::string value = argv[++i];
        bool ok = true;
        if (name == "--bind")
            options.bind = value;
        else if (name == "--port")
            ok = readInt(value, 0, options.port) && options.port <= 65535;
        else if (name == "--jobs")
            ok = readInt(value, 1, options.jobs);
        else if (name == "--job-ms")
            ok = readInt(value, 0, options.jobMs);
        else if (name == "--slow-ms")
            ok = readInt(value, 0, options.slowMs);
        else if (name == "--ffmpeg")
            options.ffmpeg = value;
        else if (name == "--ffprobe")
            options.ffprobe = value;
        else
            return "unknown option " + name + "\n" + kUsage;
        if (!ok)
            return "bad value for " + name + ": " + value + "\n" + kUsage;
    }
    return {};
}

} // namespace vexobase
