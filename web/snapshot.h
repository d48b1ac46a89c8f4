// InstanceView: what the dashboard shows of one instance, copied on the main thread so that the
// server threads never touch the instance registry. The database handle is shared: a query on a
// server thread keeps it open even if the instance closes or goes away meanwhile.
#pragma once

#include "scanner/progress.h"

#include <QString>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class Program;
class dbCwsHandle;

namespace web
{

struct InstanceView {
    int number = 0;         // place in the registry, the protocol's "scandir=N"
    std::string scanFolder; // Dir
    std::string database;   // DataBase
    int state = 0;          // CQZClipwatch::State
    std::string stateName;  // "cwsProcessingClips", ...
    QString operation;      // the status text (state label)
    std::vector<std::pair<const char*, int>> figures; // as getscanstatus names and counts them
    int jobsInFlight = 0;                             // translations and MD5s in progress
    bool serviceAvailable = false;
    ProgressFigures progress;        // done, total, rate and time left of the working phase
    std::shared_ptr<dbCwsHandle> db; // the open database, or null
};

// Every instance's view, in registry order. Main thread only.
std::vector<InstanceView> takeSnapshot(Program& program);

// The figure called `name` of `view`; 0 when it has none.
int figure(const InstanceView& view, const std::string& name);

} // namespace web
