#pragma once

// Pauses between automatic attempts at something that keeps failing: each failure
// doubles the pause, from the first one up to the longest; a success starts over.
class RetryBackoff
{
public:
    explicit RetryBackoff(int firstMs = 2000, int longestMs = 60000);

    // The pause before the next attempt; each call counts one more failure.
    int nextDelayMs();
    void reset() { m_failures = 0; }
    int failures() const { return m_failures; }

private:
    int m_firstMs;
    int m_longestMs;
    int m_failures = 0;
};
