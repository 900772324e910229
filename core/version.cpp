#include "core/version.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Parts beyond what an int version number can hold are clamped so the sum below
// cannot overflow; such a string then reads as invalid.
qint64 clampedPart(const QString &digits)
{
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, 10);
    if (!ok) {
        // Not a number reads as 0; a run of digits too long for 64 bits is simply huge.
        const bool allDigits =
            !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), isDigit);
        return allDigits ? qint64(1) << 40 : 0;
    }
    return qBound(-(qint64(1) << 40), value, qint64(1) << 40);
}

} // namespace

int versionNumber(const QString &version)
{
    const QStringList parts = version.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 3)
        return 0;
    const QString &first = parts[0];
    const QString &second = parts[1];
    const QString &third = parts[2];
    if (first.isEmpty() || !isDigit(first.back()) || second.isEmpty() || third.isEmpty())
        return 0;

    // Major: the run of digits the first part ends with ("v12" reads as 12).
    int start = first.size();
    while (start > 0 && isDigit(first[start - 1]))
        --start;
    int end = 0;
    while (end < third.size() && isDigit(third[end]))
        ++end;
    const qint64 number = clampedPart(first.mid(start)) * 1000000 +
                          clampedPart(second) * 1000 + clampedPart(third.left(end));
    return number > 0 && number <= std::numeric_limits<int>::max() ? int(number) : 0;
}

int compareVersions(const QString &current, const QString &other)
{
    const int cur = versionNumber(current);
    const int oth = versionNumber(other);
    if (cur < 1 || oth < 1)
        return -1;
    if (oth < cur)
        return 2;
    return oth == cur ? 1 : 0;
}
