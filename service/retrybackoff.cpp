#include "service/retrybackoff.h"

#include <QtGlobal>

RetryBackoff::RetryBackoff(int firstMs, int longestMs)
    : m_firstMs(qMax(1, firstMs)), m_longestMs(qMax(m_firstMs, longestMs))
{
}

int RetryBackoff::nextDelayMs()
{
    qint64 delay = m_firstMs;
    for (int i = 0; i < m_failures && delay < m_longestMs; ++i)
        delay *= 2;
    ++m_failures;
    return int(qMin<qint64>(delay, m_longestMs));
}
