// The program version and the window title that shows it.
#pragma once

#include <QString>

// Program version: major, minor, release, build.
constexpr int kVersionMajor = 7;
constexpr int kVersionMinor = 0;
constexpr int kVersionRelease = 0;
constexpr int kVersionBuild = 851;

// "Clipwatch (v7.0.0.851)".
inline QString clipwatchWindowTitle()
{
    return QString("Clipwatch (v%1.%2.%3.%4)")
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRelease)
        .arg(kVersionBuild);
}
