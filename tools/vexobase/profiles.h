// ffmpeg command building: which kind of work a profile word asks for, and the ffmpeg
// arguments of the picon, the wrap and every proxy and mezzanine profile (one table).
#pragma once

#include "tools/vexobase/job.h"

#include <optional>
#include <string>
#include <vector>

namespace vexobase
{

enum class JobKind { Picon, Xmp, Index, Wrap, Md5, Transcode };

// The kind of work of a profile word (ignoring case); nothing for a word the service does not
// know. A transcode word is known when the profile table has a row for it.
std::optional<JobKind> jobKind(const std::string& profile);

// Full ffmpeg argument lists, writing to `output` (a temporary name: the muxer is always given).
// Each starts with `ffmpeg` and reports progress on stdout ("-progress pipe:1").
std::vector<std::string> piconCommand(const std::string& ffmpeg, const JobOrder& order,
                                      double seekSeconds, const std::string& output);
// Nothing when the target's extension names no container the service knows.
std::optional<std::vector<std::string>>
wrapCommand(const std::string& ffmpeg, const JobOrder& order, const std::string& output);
// Nothing when the profile word has no row.
std::optional<std::vector<std::string>>
transcodeCommand(const std::string& ffmpeg, const JobOrder& order, const std::string& output);

} // namespace vexobase
