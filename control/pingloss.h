// Reading the loss figure out of the output of the system's ping tool.
#pragma once

#include <QString>

#include <optional>

// The packet loss in percent from the summary line of `ping` ("3 packets transmitted,
// 2 received, 33.3333% packet loss, ..."), rounded down. Nothing while the output holds no
// "% packet loss" (more output will follow); a figure that is not a number reads as 0.
std::optional<int> pingLoss(const QString& output);
