// Runners: real work with ffmpeg and ffprobe (written under a temporary name and renamed when
// complete), and simulated work with fault injection.
#include "tools/vexobase/runners.h"

#include "tools/vexobase/childprocess.h"
#include "tools/vexobase/media.h"
#include "tools/vexobase/profiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace vexobase
{

namespace
{

using Clock = std::chrono::steady_clock;

// How a piece of real work ended.
struct Outcome {
    bool ok = false;
    int result = 0;   // failure code
    std::string text; // result text or error text
};

Outcome failure(int result, const std::string& text)
{
    return Outcome{false, result, text};
}

Outcome success(const std::string& text = "complete")
{
    return Outcome{true, 0, text};
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isReadableFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

// Progress of `seconds` done out of `duration`, kept below done until the work has ended.
int progressOf(double seconds, double duration)
{
    if (duration <= 0)
        return 0;
    return std::clamp(static_cast<int>(seconds / duration * kProgressDone), 0, kProgressDone - 1);
}

std::string md5Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toStdString();
}

Outcome md5File(const JobTicket& ticket, JobTable& table)
{
    QFile file(QString::fromStdString(ticket.order.key.source));
    if (!file.open(QIODevice::ReadOnly))
        return failure(2, "cannot read source: " + file.errorString().toStdString());
    const qint64 size = file.size();
    QCryptographicHash hash(QCryptographicHash::Md5);
    qint64 done = 0;
    while (!file.atEnd()) {
        if (ticket.cancelled->load())
            return failure(-1, "aborted");
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty() && file.error() != QFile::NoError)
            return failure(2, "read error: " + file.errorString().toStdString());
        hash.addData(chunk);
        done += chunk.size();
        table.setProgress(ticket.id,
                          progressOf(static_cast<double>(done), static_cast<double>(size)));
    }
    return success(hash.result().toHex().toStdString());
}

Outcome writeText(const std::string& target, const std::string& text)
{
    QSaveFile file(QString::fromStdString(target));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), text.size()) < 0 ||
        !file.commit())
        return failure(3, "cannot write target: " + file.errorString().toStdString());
    return success();
}

// Runs ffmpeg into `temp`, reporting progress; on success renames `temp` to the target.
Outcome runFfmpeg(const JobTicket& ticket, JobTable& table, const std::vector<std::string>& argv,
                  const std::string& temp, double duration)
{
    const ChildResult run = runChild(
        argv,
        [&](const std::string& line) {
            const std::string key = "out_time_us=";
            if (line.rfind(key, 0) != 0)
                return;
            const double us = std::atof(line.c_str() + key.size());
            table.setProgress(ticket.id, progressOf(us / 1e6, duration));
        },
        *ticket.cancelled);
    struct stat info;
    const bool made = ::stat(temp.c_str(), &info) == 0 && info.st_size > 0;
    if (!run.started || run.killed || run.exitCode != 0 || !made) {
        ::unlink(temp.c_str());
        if (run.killed)
            return failure(-1, "aborted");
        if (!run.started)
            return failure(127, run.lastError);
        if (run.exitCode != 0)
            return failure(run.exitCode, run.lastError.empty() ? "ffmpeg failed" : run.lastError);
        return failure(4, "ffmpeg wrote no output");
    }
    if (::rename(temp.c_str(), ticket.order.key.target.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temp.c_str());
        return failure(3, "cannot rename output: " + why);
    }
    return success();
}

// The picon's seek position: a frame number, or "-P" / "P%" for P percent of the duration.
double piconSeconds(const std::string& frame, const MediaInfo& info)
{
    const bool percent = !frame.empty() && (frame[0] == '-' || frame.back() == '%');
    const double number = std::atof(frame.c_str() + (frame.empty() || frame[0] != '-' ? 0 : 1));
    double seconds = percent ? info.duration * number / 100.0
                             : (info.frameRate > 0 ? number / info.frameRate : 0);
    const double lastFrame = info.duration - (info.frameRate > 0 ? 1.0 / info.frameRate : 0.1);
    return std::max(0.0, std::min(seconds, lastFrame));
}

Outcome makeIndex(const JobTicket& ticket, JobTable& table, const Options& options,
                  const MediaInfo& info)
{
    std::vector<KeyFrame> frames;
    const ChildResult run = runChild(
        packetListCommand(options.ffprobe, ticket.order.key.source),
        [&](const std::string& line) {
            KeyFrame frame;
            if (!parseKeyFrame(line, frame))
                return;
            frames.push_back(frame);
            table.setProgress(ticket.id, progressOf(frame.time, info.duration));
        },
        *ticket.cancelled);
    if (run.killed)
        return failure(-1, "aborted");
    if (!run.started || run.exitCode != 0)
        return failure(run.started ? run.exitCode : 127, run.lastError);
    if (frames.empty())
        return failure(5, "no video key frames");
    return writeText(ticket.order.key.target,
                     rtinText(ticket.order.key.source, info.duration, std::move(frames)));
}

Outcome work(const JobTicket& ticket, JobTable& table, const Options& options)
{
    const JobKind kind = *jobKind(ticket.order.key.profile);
    if (kind == JobKind::Md5)
        return md5File(ticket, table);
    MediaInfo info;
    std::string error;
    if (!probeMedia(options.ffprobe, ticket.order.key.source, info, error, *ticket.cancelled))
        return failure(6, error);
    if (ticket.cancelled->load())
        return failure(-1, "aborted");
    if (kind == JobKind::Xmp)
        return writeText(ticket.order.key.target, xmpPacket(info));
    if (kind == JobKind::Index)
        return makeIndex(ticket, table, options, info);

    const std::string temp =
        ticket.order.key.target + "." + std::to_string(ticket.id) + ".vexopart";
    std::optional<std::vector<std::string>> argv;
    if (kind == JobKind::Picon)
        argv = piconCommand(options.ffmpeg, ticket.order, piconSeconds(ticket.order.frame, info),
                            temp);
    else if (kind == JobKind::Wrap)
        argv = wrapCommand(options.ffmpeg, ticket.order, temp);
    else
        argv = transcodeCommand(options.ffmpeg, ticket.order, temp);
    if (!argv)
        return failure(7, "no command for this profile");
    return runFfmpeg(ticket, table, *argv, temp, info.duration);
}

} // namespace

std::string refusalOf(const JobOrder& order)
{
    const std::optional<JobKind> kind = jobKind(order.key.profile);
    if (!kind)
        return "refused: unknown profile";
    if (!isReadableFile(order.key.source))
        return "refused: source not found";
    if (*kind == JobKind::Md5)
        return {};
    if (order.key.target.empty())
        return "refused: no target";
    if (order.key.target == order.key.source)
        return "refused: target is the source";
    // The program makes the target's folders for most elements but not for the index: make
    // whatever is missing, then judge what could not be made.
    std::error_code ignored;
    std::filesystem::create_directories(directoryOf(order.key.target), ignored);
    if (::access(directoryOf(order.key.target).c_str(), W_OK | X_OK) != 0)
        return "refused: target not writable";
    if (*kind == JobKind::Wrap && !wrapCommand("ffmpeg", order, order.key.target))
        return "refused: unknown container";
    return {};
}

void Runner::run(const JobTicket& ticket)
{
    const Fault fault = ticket.order.fault;
    if (options_.simulate || (fault != Fault::None && fault != Fault::Slow))
        simulate(ticket);
    else
        runReal(ticket);
}

void Runner::runReal(const JobTicket& ticket)
{
    const Outcome outcome = work(ticket, table_, options_);
    if (ticket.cancelled->load())
        return;
    if (outcome.ok)
        table_.finish(ticket.id, kProgressDone, 0, outcome.text);
    else
        table_.finish(ticket.id, kProgressFailed, outcome.result, outcome.text);
}

void Runner::simulate(const JobTicket& ticket)
{
    const auto start = Clock::now();
    const auto duration = std::chrono::milliseconds(options_.jobMs);
    for (;;) {
        if (ticket.cancelled->load())
            return;
        const auto elapsed = Clock::now() - start;
        const int progress = duration.count() > 0
                                 ? progressOf(std::chrono::duration<double>(elapsed).count(),
                                              std::chrono::duration<double>(duration).count())
                                 : kProgressDone - 1;
        const bool halfway = progress >= kProgressDone / 2 || elapsed >= duration;
        switch (halfway ? ticket.order.fault : Fault::None) {
        case Fault::Fail:
            table_.finish(ticket.id, kProgressFailed, faults_.failResult(), "simulated failure");
            return;
        case Fault::Lost:
            table_.finish(ticket.id, kProgressLost, 0, "lost process");
            return;
        case Fault::Forget:
            table_.forget(ticket.id);
            return;
        case Fault::Stall:
            table_.setProgress(ticket.id, kProgressDone / 2); // stays running, never moves again
            return;
        default:
            break;
        }
        if (elapsed >= duration) {
            const bool md5 = *jobKind(ticket.order.key.profile) == JobKind::Md5;
            table_.finish(ticket.id, kProgressDone, 0,
                          md5 ? md5Hex(QByteArray::fromStdString(ticket.order.key.source))
                              : "complete");
            return;
        }
        table_.setProgress(ticket.id, progress);
        std::this_thread::sleep_for(
            std::min<Clock::duration>(duration - elapsed, std::chrono::milliseconds(20)));
    }
}

} // namespace vexobase
