// The resident size of this process from /proc/self/status.
#include "bench/common/procmemory.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace
{

// Kibibytes of the "<field>:" line of /proc/self/status as MiB, or -1.
double statusField(const char* text, const char* field)
{
    const char* line = std::strstr(text, field);
    long kib = 0;
    if (!line || std::sscanf(line + std::strlen(field), " %ld", &kib) != 1)
        return -1;
    return kib / 1024.0;
}

} // namespace

ProcMemory procMemory()
{
    std::FILE* file = std::fopen("/proc/self/status", "r");
    if (!file)
        return {};
    char text[8192];
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    return {statusField(text, "VmRSS:"), statusField(text, "VmHWM:")};
}

RssSampler::RssSampler()
    : thread_([this] {
          while (running_) {
              const double rss = procMemory().rss;
              if (rss > peak_)
                  peak_ = rss;
              std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
      })
{
}

RssSampler::~RssSampler()
{
    peak();
}

double RssSampler::peak()
{
    running_ = false;
    if (thread_.joinable())
        thread_.join();
    return peak_;
}
