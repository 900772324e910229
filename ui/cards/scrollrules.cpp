#include "cards/scrollrules.h"

#include <QtGlobal>

namespace ScrollRules {

int wheelTarget(int current, int maximum, const QPoint &pixelDelta, const QPoint &angleDelta)
{
    int value = current;
    if (!pixelDelta.isNull()) {
        value = current - pixelDelta.y() / 4;
    } else if (!angleDelta.isNull()) {
        const int steps = qRound(angleDelta.y() / 8.0) / 15;
        value = current - steps * kNotchPixels;
    } else {
        return current;
    }
    if (maximum > 0 && value >= maximum)
        value = maximum - 1;
    return qMax(0, value);
}

int keepRelative(int value, int oldMaximum, int newMaximum, int firstRow, int newRowHeight)
{
    if (newMaximum <= 0)
        return 0;
    const qint64 kept = oldMaximum <= 0 ? qint64(firstRow) * newRowHeight
                                        : qint64(value) * newMaximum / oldMaximum;
    return int(qBound<qint64>(0, kept, newMaximum));
}

} // namespace ScrollRules
