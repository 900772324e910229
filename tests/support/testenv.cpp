#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>

namespace {
const char *const kVars[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_RUNTIME_DIR"};
}

TestEnv::TestEnv()
{
    for (const char *var : kVars)
        m_saved.append({var, qgetenv(var)});
    const QString home = m_dir.path();
    QDir(home).mkpath("config");
    QDir(home).mkpath("data");
    QDir(home).mkpath("cache");
    QDir(home).mkpath("runtime");
    QFile::setPermissions(home + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/data"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + "/cache"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + "/runtime"));
}

TestEnv::~TestEnv()
{
    for (const auto &var : qAsConst(m_saved)) {
        if (var.second.isNull())
            qunsetenv(var.first.constData());
        else
            qputenv(var.first.constData(), var.second);
    }
}
