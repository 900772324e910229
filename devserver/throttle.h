#pragma once

#include "devserver/options.h"

#include <QHash>
#include <QString>
#include <QVector>

// Counts what guessing and flooding clients try, in memory: wrong codes and
// passwords per phone number (or login name), codes sent per number and per client
// address, reports per client address. Used from the service's thread only.
class Throttle
{
public:
    explicit Throttle(const AbuseLimits &limits);

    // Seconds the number stays locked after too many failures; 0 when it may try.
    int lockedFor(const QString &who);
    void failed(const QString &who);
    void succeeded(const QString &who);

    // Seconds until a code may be sent to `number` (with its purpose) for `address`; 0 means it may
    // be sent now, and the sending is counted.
    int codeWait(const QString &number, const QString &address);
    // Whether a report from `address` may be stored now; counts it when so.
    bool allowReport(const QString &address);

private:
    using Times = QVector<qint64>; // milliseconds, oldest first

    // Drops the times before `since`; counts `now` when fewer than `limit` remain.
    static bool take(Times &times, qint64 now, qint64 since, int limit);
    void forgetOld(qint64 now);

    AbuseLimits m_limits;
    QHash<QString, Times> m_failures;
    QHash<QString, qint64> m_lockedUntil;
    QHash<QString, qint64> m_lastCode;
    QHash<QString, Times> m_codesByAddress;
    QHash<QString, Times> m_reportsByAddress;
    int m_calls = 0;
};

// "尝试次数过多，请N分钟后再试" and the like: the waits told to the user.
QString lockedMessage(int seconds);
QString codeWaitMessage(int seconds);
