// Every reply text of the service, in one place. Replies are flat JSON objects of quoted keys
// and quoted values with no spaces around the colons, the shape the program's reply tokenizer
// reads (it cuts at commas, double quotes and closing braces).
#pragma once

#include "tools/vexobase/jobtable.h"

#include <string>

namespace vexobase
{

// Job accepted (holds "success" and never "fail").
std::string startAccepted();
// Job refused; `why` is a fixed text of the service, never client input.
std::string startRefused(const std::string& why);
// The state of a job.
std::string jobStatus(const JobView& job, const std::string& address);
// The job is not known; holds the token "copy not found".
std::string copyNotFound();
// A job was purged.
std::string purged();
// A job was aborted: result 0 and the job's source.
std::string aborted(const JobView& job);
// Answer to the address request.
std::string addressReply(const std::string& address);
// Answer to the reachability probe.
std::string probeReply(const std::string& address, size_t jobs);
// Completed jobs purged.
std::string purgedCompleted(int count);
// A request the service does not understand.
std::string badRequest(const std::string& why);
// Control request done.
std::string controlDone();

// Writes a value for the reply: a double quote or a control character would end or split the
// value for the tokenizer, so they become \u00XX escapes; everything else stays as it is.
std::string replyValue(const std::string& text);

} // namespace vexobase
