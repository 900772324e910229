#include "activation/officeconsent.h"

#include "activation/activationview.h"
#include "sorvane/officepipe.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

namespace {
const char kKey[] = "LibreOffice/connections";
const char kAllowed[] = "allowed";
const char kDeclined[] = "declined";
// The launcher only hands the request to the running suite and exits.
constexpr int kSwitchOnMs = 3000;
} // namespace

OfficeConsent::Answer OfficeConsent::answer() const
{
    if (m_file.isEmpty())
        return NotAsked;
    const QString value = QSettings(m_file, QSettings::IniFormat).value(kKey).toString();
    if (value == QLatin1String(kAllowed))
        return Allowed;
    if (value == QLatin1String(kDeclined))
        return Declined;
    return NotAsked;
}

void OfficeConsent::setAnswer(Answer answer)
{
    if (m_file.isEmpty())
        return;
    QSettings settings(m_file, QSettings::IniFormat);
    if (answer == NotAsked)
        settings.remove(kKey);
    else
        settings.setValue(kKey, answer == Allowed ? kAllowed : kDeclined);
}

bool OfficeConsent::mayConnect(int code, ActivationView &view)
{
    if (!isOfficeUnreachable(code))
        return false;
    Answer given = answer();
    if (given == NotAsked) {
        given = view.askOfficeConsent();
        setAnswer(given);
    }
    return given == Allowed;
}

bool OfficeConsent::switchOn() const
{
    const QString launcher = QStandardPaths::findExecutable(m_launcher);
    if (launcher.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(launcher, {QString::fromLatin1(sorvane::kOfficeAcceptArgument)});
    if (!process.waitForFinished(kSwitchOnMs)) {
        process.kill();
        process.waitForFinished(kSwitchOnMs);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
