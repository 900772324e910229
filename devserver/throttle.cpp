#include "devserver/throttle.h"

#include <QDateTime>

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

int secondsUntil(qint64 until, qint64 now)
{
    return until > now ? int((until - now + 999) / 1000) : 0;
}

template <class Table, class Old> void eraseIf(Table &table, Old old)
{
    for (auto it = table.begin(); it != table.end();) {
        if (old(it.value()))
            it = table.erase(it);
        else
            ++it;
    }
}

} // namespace

Throttle::Throttle(const AbuseLimits &limits) : m_limits(limits) {}

bool Throttle::take(Times &times, qint64 now, qint64 since, int limit)
{
    int old = 0;
    while (old < times.size() && times.at(old) < since)
        ++old;
    times.remove(0, old);
    if (times.size() >= limit)
        return false;
    times.append(now);
    return true;
}

// Entries of numbers nobody tries any more go, so guessing many numbers costs no memory.
void Throttle::forgetOld(qint64 now)
{
    if (++m_calls % 1024 != 0)
        return;
    const qint64 window = qint64(m_limits.lockSeconds) * 1000;
    auto stale = [now](qint64 span) {
        return [now, span](const Times &t) { return t.isEmpty() || t.last() < now - span; };
    };
    eraseIf(m_failures, stale(window));
    eraseIf(m_codesByAddress, stale(window));
    eraseIf(m_reportsByAddress, stale(60 * 1000));
    eraseIf(m_lockedUntil, [now](qint64 until) { return until < now; });
    const qint64 interval = qint64(m_limits.codeIntervalSeconds) * 1000;
    eraseIf(m_lastCode, [now, interval](qint64 last) { return last < now - interval; });
}

int Throttle::lockedFor(const QString &who)
{
    return secondsUntil(m_lockedUntil.value(who), nowMs());
}

void Throttle::failed(const QString &who)
{
    const qint64 now = nowMs();
    forgetOld(now);
    const qint64 window = qint64(m_limits.lockSeconds) * 1000;
    if (!take(m_failures[who], now, now - window, m_limits.attemptLimit - 1)) {
        m_failures.remove(who);
        m_lockedUntil.insert(who, now + window);
    }
}

void Throttle::succeeded(const QString &who)
{
    m_failures.remove(who);
}

int Throttle::codeWait(const QString &number, const QString &address)
{
    const qint64 now = nowMs();
    forgetOld(now);
    const auto last = m_lastCode.constFind(number);
    const qint64 next = last == m_lastCode.constEnd()
                            ? 0
                            : last.value() + qint64(m_limits.codeIntervalSeconds) * 1000;
    if (next > now)
        return secondsUntil(next, now);
    Times &sent = m_codesByAddress[address];
    const qint64 window = qint64(m_limits.lockSeconds) * 1000;
    if (!take(sent, now, now - window, m_limits.codesPerAddress))
        return secondsUntil(sent.first() + window, now);
    m_lastCode.insert(number, now);
    return 0;
}

bool Throttle::allowReport(const QString &address)
{
    const qint64 now = nowMs();
    forgetOld(now);
    return take(m_reportsByAddress[address], now, now - 60 * 1000, m_limits.reportsPerMinute);
}

QString lockedMessage(int seconds)
{
    return QStringLiteral("尝试次数过多，请%1分钟后再试").arg((seconds + 59) / 60);
}

QString codeWaitMessage(int seconds)
{
    return QStringLiteral("验证码发送过于频繁，请%1秒后再试").arg(seconds);
}
