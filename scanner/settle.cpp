// Files still being written: the settle rule and the folders waiting for it.
#include "scanner/settle.h"

#include "platform/kinora.h"

#include <algorithm>

void SettleWatch::BeginFolder(const std::string& folder)
{
    current_ = folder;
    searching_ = Folder();
}

bool SettleWatch::Settled(const KnFileInfo& info, int settleSeconds, int64_t now, uint32_t nowMs)
{
    if (settleSeconds <= 0)
        return true;
    const uint32_t settleMs = static_cast<uint32_t>(settleSeconds) * 1000;
    Seen seen{info.size, info.changed, nowMs};
    const auto folder = folders_.find(current_);
    if (folder != folders_.end()) {
        const auto before = folder->second.files.find(info.path);
        if (before != folder->second.files.end() && before->second.size == seen.size &&
            before->second.changed == seen.changed)
            seen.sinceMs = before->second.sinceMs;
    }
    // A writer holding the file open starts the wait again.
    if (info.writerOpen)
        seen.sinceMs = nowMs;
    const int64_t age = now - info.changed;
    const uint32_t watched = nowMs - seen.sinceMs;
    if (!info.writerOpen && (age >= settleSeconds || watched >= settleMs))
        return true;
    // Looked at again when either measure may have run out, at most `settleSeconds` from now.
    uint32_t waitMs = settleMs - watched;
    if (age >= 0 && !info.writerOpen)
        waitMs = std::min<uint32_t>(waitMs, static_cast<uint32_t>(settleSeconds - age) * 1000);
    waitMs = std::max<uint32_t>(waitMs, 1000);
    if (searching_.files.empty() || static_cast<int32_t>(nowMs + waitMs - searching_.dueMs) < 0)
        searching_.dueMs = nowMs + waitMs;
    searching_.files[info.path] = seen;
    return false;
}

bool SettleWatch::EndFolder()
{
    const bool kept = !searching_.files.empty();
    if (kept)
        folders_[current_] = std::move(searching_);
    else
        folders_.erase(current_);
    searching_ = Folder();
    Count();
    return kept;
}

std::string SettleWatch::DueFolder(uint32_t nowMs) const
{
    for (const auto& [folder, waiting] : folders_)
        if (static_cast<int32_t>(nowMs - waiting.dueMs) >= 0)
            return folder;
    return std::string();
}

void SettleWatch::Count()
{
    size_t files = 0;
    for (const auto& entry : folders_)
        files += entry.second.files.size();
    files_ = static_cast<int>(files);
}
