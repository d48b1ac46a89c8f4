// Start-up pieces of the program shell: the Qt message handler, the reading of the
// dump-all-commands level and the media-library options switched off for the run.
#pragma once

#include <QSettings>
#include <QString>
#include <QtGlobal>

#include <cstdint>

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
