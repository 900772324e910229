#pragma once

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include "devserver/options.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The HTTP library's request handling behind our own connection handling, so that no
// client can hold the service: connections wait for their complete headers (and TLS
// handshake), and for bodies of a modest declared size, in one polling thread without
// holding a worker; workers only run requests that have arrived, reads and writes have
// time limits, and the port is bound exclusively with a long listen backlog.
class FrontServer : public httplib::Server
{
public:
    // With a TLS context (taken over) every connection is TLS.
    explicit FrontServer(const ConnectionLimits &limits, SSL_CTX *tls = nullptr);
    ~FrontServer() override;

    // Loads a certificate chain and key for a TLS FrontServer; null with `error` on failure.
    static SSL_CTX *serverContext(const std::string &chainFile, const std::string &keyFile,
                                  std::string *error);

    // Binds host:port for this process alone (0 picks a free port). The port, or -1.
    int bindExclusive(const std::string &host, int port, std::string *error);
    void startServing();
    // Stops accepting and ends waiting connections; running requests finish.
    void stopServing();
    void waitStopped();

    // For a handler: the connection ends after this answer (its body was not read).
    static void closeAfterAnswer(httplib::Response &res);
    // For a handler: the connection is cut at once, without an answer.
    static void dropConnection();

    struct Connection; // one client's socket, TLS state and unread bytes

private:
    enum class Progress { Waiting, Ready, Closed };

    void collect();
    void work();
    void serve(std::unique_ptr<Connection> c);
    Progress pump(Connection &c);
    void place(std::unique_ptr<Connection> c);
    void release(Connection &c);
    void acceptAll();
    void wake();

    ConnectionLimits m_limits;
    SSL_CTX *m_tls;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_acceptPausedUntil;

    std::mutex m_mutex;
    std::condition_variable m_readySignal;
    std::deque<std::unique_ptr<Connection>> m_ready;     // headers complete, for a worker
    std::vector<std::unique_ptr<Connection>> m_returned; // kept alive, back to waiting
    std::vector<std::unique_ptr<Connection>> m_waiting;  // owned by the collector thread
    size_t m_collected = 0; // body bytes the waiting connections may hold; collector only
    int m_idleWorkers = 0;

    std::thread m_collector;
    std::vector<std::thread> m_workers;
};
