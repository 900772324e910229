// Test-only Qt generic plugin (QT_PLUGIN_PATH, QT_QPA_GENERIC_PLUGINS=autoclick) that presses
// the buttons named in QUILLORA_AUTOCLICK once they show, so end-to-end tests drive separate
// processes without test switches in the programs. QUILLORA_AUTOCLICK_LOG records
// "<pid> <program> start|click <name>"; a name is pressed once among all processes using it.
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
    return log.open(QIODevice::ReadOnly) && log.readAll().contains(" click " + name.toUtf8() + '\n');
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
        Q_UNUSED(key); // only ever asked for the key of its metadata
        auto *filter = new AutoClick;
        QCoreApplication::instance()->installEventFilter(filter);
        record(QStringLiteral("start"));
        return filter;
    }
};

} // namespace

#include "autoclickplugin.moc"
