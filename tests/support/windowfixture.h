#pragma once

#include "devserverprocess.h"
#include "testenv.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// What the window tests share: the program's name, the screen they lay out for, a private
// test home, and a service the program trusts and talks to (the development service, or a
// test server of the test's own).
class WindowFixture
{
public:
    WindowFixture();  // "Quillora", a 1366×768 screen and a fresh home
    ~WindowFixture(); // stops a development service it started, then drops the home

    TestEnv &env() { return *m_env; }
    // Drops the home and makes a fresh one (the old one's environment is gone first).
    void renewHome();

    // Starts the development service on a free port with its data in a folder of its own,
    // trusts its certificate authority and points the program at it. False with the
    // reason in errorString().
    bool startDevService(const QStringList &arguments = {});
    DevServerProcess &devService() { return m_server; }
    // Points the program at another server, whose certificate authority is caFile.
    bool useService(const QUrl &url, const QString &caFile);
    QString errorString() const { return m_error; }

private:
    std::unique_ptr<TestEnv> m_env;
    QTemporaryDir m_data;
    DevServerProcess m_server;
    QString m_error;
};
