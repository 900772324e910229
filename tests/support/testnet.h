#pragma once

#include <QtGlobal>

// How long tests wait for a network answer or a worker thread's result. Far above
// what a run needs: a loaded machine (parallel suites, sanitizer builds) can stall a
// process for seconds, and a passing run never waits this out.
constexpr int kEventWaitMs = 30000;

// A port on 127.0.0.1 where connections are refused: a socket is bound to it but
// never listens, so no other process can take the port while this object lives.
class ClosedPort
{
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort &) = delete;
    ClosedPort &operator=(const ClosedPort &) = delete;

    bool isValid() const { return m_port != 0; }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};
