#include "widgets/windowfade.h"

#include <QPropertyAnimation>
#include <QWidget>

void fadeWindow(QWidget *window, double from, double to, int ms, const std::function<void()> &then)
{
    static const QString kName = QStringLiteral("windowFade");
    if (auto *running =
            window->findChild<QPropertyAnimation *>(kName, Qt::FindDirectChildrenOnly)) {
        running->setObjectName(QString());
        running->disconnect();
        running->stop(); // deletes it
    }
    auto *fade = new QPropertyAnimation(window, "windowOpacity", window);
    fade->setObjectName(kName);
    fade->setDuration(ms);
    fade->setStartValue(from);
    fade->setEndValue(to);
    if (then)
        QObject::connect(fade, &QPropertyAnimation::finished, window, then);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}
