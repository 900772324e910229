// Test-only Qt plugin that presses buttons in a real program, so that end-to-end tests
// drive separate processes without test switches in the shipped programs. Loaded through
// Qt's own generic-plugin mechanism:
//   QT_PLUGIN_PATH=<dir holding generic/> QT_QPA_GENERIC_PLUGINS=autoclick
//   QUILLORA_AUTOCLICK=objectName[,objectName...]  buttons to press once they show
//   QUILLORA_AUTOCLICK_LOG=file  "<pid> <program> start" and "<pid> <program> click <name>"
// Every name is pressed once among all processes sharing the log, so a restarted
// program does not press again what its predecessor pressed.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGenericPlugin>
#include <QPointer>
#include <QTimer>

namespace {

QString logPath() { return qEnvironmentVariable("QUILLORA_AUTOCLICK_LOG"); }

void record(const QString &what)
{
    QFile log(logPath());
    if (log.open(QIODevice::Append | QIODevice::Text))
        log.write(QStringLiteral("%1 %2 %3\n")
                      .arg(QCoreApplication::applicationPid())
                      .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName(), what)
                      .toUtf8());
}

bool pressedBefore(const QString &name)
{
    QFile log(logPath());
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QByteArray suffix = " click " + name.toUtf8();
    for (const QByteArray &line : log.readAll().split('\n'))
        if (line.endsWith(suffix))
            return true;
    return false;
}

class AutoClick : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *button = qobject_cast<QAbstractButton *>(watched);
        if (!button || event->type() != QEvent::Show || !m_names.contains(button->objectName()))
            return false;
        // After the dialog's own show work (fades, layouts) has run.
        QTimer::singleShot(500, this, [guard = QPointer<QAbstractButton>(button)] {
            if (guard && guard->isVisible() && guard->isEnabled() &&
                !pressedBefore(guard->objectName())) {
                record(QStringLiteral("click ") + guard->objectName());
                guard->click();
            }
        });
        return false;
    }

private:
    const QStringList m_names = qEnvironmentVariable("QUILLORA_AUTOCLICK").split(QLatin1Char(','));
};

class AutoClickPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "autoclick.json")

public:
    QObject *create(const QString &key, const QString &) override
    {
        if (key.compare(QLatin1String("autoclick"), Qt::CaseInsensitive) != 0)
            return nullptr;
        auto *filter = new AutoClick;
        QCoreApplication::instance()->installEventFilter(filter);
        record(QStringLiteral("start"));
        return filter;
    }
};

} // namespace

#include "autoclickplugin.moc"
