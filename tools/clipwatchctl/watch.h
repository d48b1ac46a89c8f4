// The --watch mode: one progress line per read of an instance's status and progress, until it is
// idle.
#pragma once

#include "tools/clipwatchctl/controller.h"

#include <QMap>
#include <QString>

namespace ctl
{

// The line shown for one status reply's values (see replyValues).
QString progressLine(int instance, const QMap<QString, QString>& status);

// The bar, rate and time left shown for one getprogress reply's values: "[#####     ] 50%
// 2.00/s 1:40 left"; the walk, whose total is unknown, shows its rate only; empty without a rate.
QString progressBar(const QMap<QString, QString>& progress);

// True when the status says the instance has nothing left to do.
bool isIdle(const QMap<QString, QString>& status);

// Reads instance `instance`'s status and progress every `intervalMs` and prints the progress until
// the instance is idle (after it was seen busy, or idle for five reads in a row). 0 when it ended
// idle, 1 when the connection or the instance went away.
int watchInstance(Controller& controller, int instance, int intervalMs);

} // namespace ctl
