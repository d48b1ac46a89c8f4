// The clip completion check: after one of a clip's jobs has ended, decides whether every
// element its instance makes has come to an end and records the clip's outcome in its own
// state (Complete). Runs on the caller's thread (the monitor, or the scanning thread during
// start-up recovery).
#pragma once

#include "db/clips.h"
#include "monitor/jobowner.h"

#include <string>

// 1 for a checksum (32 letters or digits), 3 for a failure text ("Error " or "Process Crashed",
// ignoring case), 0 otherwise.
int ClassifyMD5Result(const std::string& text);

// What the check decides for one clip.
enum class CompletionOutcome {
    Running,      // an element is still running: nothing is written
    Complete,     // every element is done
    Failed,       // the first unfinished element failed and all after it are settled
    FailedOnWrap, // as Failed, the failed element being the wrap
};

// The decision for a clip's element states when the elements of `madeElements` are made.
CompletionOutcome ClipCompletionOutcome(const dbCwsElementStatus& status, unsigned madeElements);

// Reads the clip's states, decides and writes Complete 1 ("Complete") or 4 ("Error"); after a
// failed wrap re-reads the owner's count of failed clips. Nothing without a database or for
// an unknown clip.
void CheckClipCompletion(JobOwner* owner, const std::string& anchorPath);
