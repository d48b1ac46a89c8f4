// QCheckThread: an instance's job monitor thread and the list of jobs it follows. The scanning
// thread appends every job it starts to jobList; the monitor's loop (run) follows each job to
// its end. The owner empties jobList when it ends, which lets the loop finish.
#pragma once

#include "monitor/joblist.h"

#include <QThread>

class CQZClipwatch;

class QCheckThread : public QThread
{
public:
    CQZClipwatch* owner = nullptr; // the instance, set before the thread starts
    QStringListThreadSafe jobList; // job strings of the jobs being followed
};
