// Batch runs of the program without a window, for ingest scripts and the end-to-end tests:
// control requests run at start-up as if the controlling host had sent them, the Start button
// of every instance, and the end of the program once every instance is idle with no job left.
#pragma once

#include <QStringList>

class Program;

struct BatchRun {
    QString logName = "Clipwatch"; // --log NAME: the log file's name
    QStringList requests;          // --request TEXT, in order
    bool start = false;            // --start
    bool untilIdle = false;        // --until-idle
};

// Reads the batch options of the command line; other arguments are left to Qt and main.
BatchRun parseBatchRun(int argc, char** argv);

// Runs after the program's start step: the requests, then the starts; prints "started" once
// they have all been taken. A request answered "error=..." or a start refused ends the program
// with exit code 2. With untilIdle, the program ends with code 0 once every instance has been
// idle, with no job followed, for two seconds.
void runBatch(Program& program, const BatchRun& run);
