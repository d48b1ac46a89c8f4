// The loss figure of a ping summary.
#include "control/pingloss.h"

std::optional<int> pingLoss(const QString& output)
{
    const int mark = output.indexOf(QLatin1String("% packet loss"));
    if (mark < 0)
        return std::nullopt;
    int start = mark;
    while (start > 0 && (output.at(start - 1).isDigit() || output.at(start - 1) == '.'))
        --start;
    return static_cast<int>(output.mid(start, mark - start).toDouble());
}
