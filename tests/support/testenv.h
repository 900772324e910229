#pragma once

#include <QString>
#include <QTemporaryDir>

// A private HOME with its own XDG folders. Construct one before anything asks
// QStandardPaths for a location; the previous environment comes back on
// destruction.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv &) = delete;
    TestEnv &operator=(const TestEnv &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString home() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, QByteArray>> m_saved;
};
