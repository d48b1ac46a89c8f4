// Log file writer: one file descriptor under one mutex; each call formats first, then hands the
// whole line to the system with one write, so nothing waits in a user-space buffer.
#include "platform/qzlog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

std::mutex logMutex;
int logFile = -1; // the log's descriptor; -1: lines go to stderr

std::string logDirectory()
{
    if (const char* dir = getenv("CLIPWATCH_LOG_DIR"); dir && *dir)
        return dir;
    if (const char* state = getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/Clipwatch";
    const char* home = getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.local/state/Clipwatch";
}

void makePath(const std::string& dir)
{
    for (size_t pos = 1; pos != std::string::npos; pos = dir.find('/', pos + 1))
        mkdir(dir.substr(0, pos).c_str(), 0755);
    mkdir(dir.c_str(), 0755);
}

std::string format(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[1024];
    const int needed = vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (needed < 0)
        return std::string();
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    vsnprintf(big.data(), big.size(), fmt, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

void writeText(const std::string& text)
{
    std::lock_guard<std::mutex> lock(logMutex);
    const int out = logFile >= 0 ? logFile : STDERR_FILENO;
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(out, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace

std::string ErrLogPath(const char* name)
{
    const std::string dir = logDirectory();
    makePath(dir);
    return dir + "/" + name + ".log";
}

void ErrLogSetFileName(const char* name)
{
    const std::string path = ErrLogPath(name);
    const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    std::lock_guard<std::mutex> lock(logMutex);
    if (logFile >= 0)
        close(logFile);
    logFile = file;
}

void ErrLogClose()
{
    std::lock_guard<std::mutex> lock(logMutex);
    if (logFile >= 0)
        close(logFile);
    logFile = -1;
}

void ErrOutV(const char* fmt, va_list args)
{
    writeText(format(fmt, args));
}

void ErrOutText(const std::string& text)
{
    writeText(text);
}

void ErrOut(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    ErrOutV(fmt, args);
    va_end(args);
}

// The level word selects nothing here: the caller's format carries the level prefix.
void ErrFmtOut(unsigned int, int, int, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    ErrOutV(fmt, args);
    va_end(args);
}
