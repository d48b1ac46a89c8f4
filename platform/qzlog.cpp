// Log file writer: one FILE under one mutex; each call formats first, then writes and flushes.
#include "platform/qzlog.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace
{

std::mutex logMutex;
FILE* logFile = nullptr;

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
    FILE* out = logFile ? logFile : stderr;
    fwrite(text.data(), 1, text.size(), out);
    fflush(out);
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
    FILE* file = fopen(path.c_str(), "a");
    std::lock_guard<std::mutex> lock(logMutex);
    if (logFile)
        fclose(logFile);
    logFile = file;
}

void ErrLogClose()
{
    std::lock_guard<std::mutex> lock(logMutex);
    if (logFile)
        fclose(logFile);
    logFile = nullptr;
}

void ErrOutV(const char* fmt, va_list args)
{
    writeText(format(fmt, args));
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
