// Start-up pieces of the program shell that tests and other folders reach: the Qt message
// handler, the process-wide dump-all-commands level, the media-library options switched off for
// the run, and the program version.
#pragma once

#include <QSettings>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdint>

// Program version: major, minor, release, build.
constexpr int kVersionMajor = 7;
constexpr int kVersionMinor = 0;
constexpr int kVersionRelease = 0;
constexpr int kVersionBuild = 851;

// "Clipwatch (v7.0.0.851)".
QString clipwatchWindowTitle();

// Set once at start-up from the key "dumpallcommands"; 1 logs every command and reply.
extern std::atomic<int> dumpAllCommandsLevel;

// Reads "dumpallcommands" from `settings` into dumpAllCommandsLevel: absent or not a number
// gives 0.
void readDumpAllCommands(const QSettings& settings);

// Routes Qt diagnostics into the log, with a prefix chosen by the message type.
void qUSERMSGOutput(QtMsgType type, const QMessageLogContext& context, const QString& message);

// The two media-library values as they were before the run; unreadable values are 0.
struct MediaLibraryOptions {
    uint32_t agressiveFileopen = 0; // "AgressiveFileopen" in "Quillon\Default"
    uint32_t preLoadRVTDlls = 0;    // "PreLoadRVTDlls" in "Quillon\PlugIns\RVT"
};

// Saves both values and writes 0 to each, in the start-up order.
MediaLibraryOptions switchMediaLibraryOptionsOff();

// Writes the saved values back, in the reverse order.
void restoreMediaLibraryOptions(const MediaLibraryOptions& saved);
