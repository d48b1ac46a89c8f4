// The program's single log. Lines are printf-formatted, written whole under one lock and
// flushed at once, so lines from many threads never interleave and a crash loses none.
// The file is <name>.log in $CLIPWATCH_LOG_DIR, else $XDG_STATE_HOME/Clipwatch, else
// ~/.local/state/Clipwatch. Before ErrLogSetFileName and after ErrLogClose lines go to stderr.
#pragma once

#include <cstdarg>
#include <string>

// Level words of ErrFmtOut.
constexpr unsigned int QZ_LEVEL_ERROR = 0xC0000000u;
constexpr unsigned int QZ_LEVEL_WARNING = 0x80000000u;
constexpr unsigned int QZ_LEVEL_CAUTION = 0x40000000u;

// Names the log and opens its file for appending. A second call switches to the new name.
void ErrLogSetFileName(const char* name);

// Closes the log file; later lines go to stderr.
void ErrLogClose();

// Writes one formatted text to the log. Safe from any thread, also after ErrLogClose.
void ErrOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ErrOutV(const char* format, va_list args);
// Writes `text` as it is, without formatting.
void ErrOutText(const std::string& text);

// ErrOut with a level word (QZ_LEVEL_*); the two reserved arguments are passed as 0.
void ErrFmtOut(unsigned int level, int reserved1, int reserved2, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Full path of the log file for `name` (the folder is created when missing).
std::string ErrLogPath(const char* name);
