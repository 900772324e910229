#include "window/windowfront.h"

#include <QGuiApplication>
#include <QWidget>

void bringToFront(QWidget *window)
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        (window->isMinimized() || !window->isActiveWindow())) {
        const QRect geometry = window->geometry();
        window->hide();
        window->setGeometry(geometry);
    }
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}
