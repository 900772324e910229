#include "devserverprocess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

QString DevServerProcess::defaultProgram()
{
    const QString fromEnvironment = qEnvironmentVariable("QUILLORA_DEVSERVER");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral(QUILLORA_DEVSERVER_PROGRAM);
}

DevServerProcess::DevServerProcess(const QString &program)
    : m_program(program)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

DevServerProcess::~DevServerProcess()
{
    if (isRunning())
        stop();
}

void DevServerProcess::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    int newline;
    while ((newline = m_partial.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_partial.left(newline)));
        m_partial.remove(0, newline + 1);
    }
    m_stderr += m_process.readAllStandardError();
}

bool DevServerProcess::start(const QString &dataDir, const QStringList &extraArguments,
                             int timeoutMs)
{
    m_lines.clear();
    m_partial.clear();
    m_consumed = 0;
    m_stderr.clear();
    m_error.clear();
    m_process.start(m_program, QStringList{"--data", dataDir, "--port", "0"} + extraArguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(m_program, m_process.errorString());
        return false;
    }
    // "ready https://127.0.0.1:PORT/ ca=PATH web=http://127.0.0.1:PORT2/"
    static const QRegularExpression ready(
        QStringLiteral("^ready (https://\\S+/) ca=(.+) web=(http://\\S+/)$"));
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        readLines();
        while (m_consumed < m_lines.size()) {
            const auto match = ready.match(m_lines.at(m_consumed++));
            if (match.hasMatch()) {
                m_url = QUrl(match.captured(1));
                m_caFile = match.captured(2);
                m_webUrl = QUrl(match.captured(3));
                m_lines.erase(m_lines.begin(), m_lines.begin() + m_consumed);
                m_consumed = 0;
                return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning) {
            readLines();
            m_error = QStringLiteral("%1 ended before it was ready: %2")
                          .arg(m_program, QString::fromLocal8Bit(m_stderr).trimmed());
            return false;
        }
        m_process.waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), 200)));
    }
    m_error = QStringLiteral("%1 printed no ready line within %2 ms").arg(m_program).arg(timeoutMs);
    stop();
    return false;
}

bool DevServerProcess::stop(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    bool ended = m_process.waitForFinished(timeoutMs);
    if (!ended) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    readLines();
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QString DevServerProcess::waitForCode(const QString &phone, int timeoutMs)
{
    const QString prefix = QStringLiteral("verification code for %1: ").arg(phone);
    const QDeadlineTimer deadline(timeoutMs);
    do {
        readLines();
        for (int i = m_consumed; i < m_lines.size(); ++i) {
            if (m_lines.at(i).startsWith(prefix)) {
                const QString code = m_lines.at(i).mid(prefix.size());
                m_lines.removeAt(i);
                return code;
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            return QString();
        m_process.waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), 200)));
    } while (!deadline.hasExpired());
    return QString();
}

QStringList DevServerProcess::outputLines()
{
    readLines();
    return m_lines;
}

QByteArray DevServerProcess::standardError()
{
    readLines();
    return m_stderr;
}
