// The instance's side of the progress element rules: recording a polled job's progress, taking
// the job strings of dropped elements out of the job list, and aborting stalled jobs on the
// service. Runs on the monitor's thread.
#pragma once

#include "monitor/joblist.h"
#include "monitor/progresselements.h"

#include <QString>

class JobOwner;

// Records `progress` for the job named by source, target and profile in the owner's progress
// elements (capacity from its MaxTranslations and MaxMD5s) and applies the rules. True (final)
// when the job has ended.
bool UpdateProgressElement(JobOwner* owner, const QString& address, const QString& source,
                           const QString& target, const QString& profile, int progress);

// Removes, for every job string that contains "source=", "target=" and "profile=" followed by
// the element's (lower-case) values, its last occurrence in `jobs`, holding the list's mutex
// for the whole pass. An element without a source names no job and removes nothing.
void RemoveElementJobStrings(QStringListThreadSafe& jobs, const ProgressElement& e);

// The rules' actions on `owner`: job strings are removed from its job list; a stalled job is
// aborted with the stalled-job abort request on the service its job string names (reply
// logged) and its job strings removed.
ProgressElements::Actions StalledJobActions(JobOwner* owner);
