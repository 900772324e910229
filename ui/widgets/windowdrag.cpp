#include "widgets/windowdrag.h"

#include <QWidget>

void WindowDrag::press(const QWidget *window, const QPoint &globalPos)
{
    m_active = true;
    m_offset = globalPos - window->frameGeometry().topLeft();
}

bool WindowDrag::follow(QWidget *window, const QPoint &globalPos, Qt::MouseButtons buttons)
{
    if (!m_active || !(buttons & Qt::LeftButton))
        return false;
    window->move(globalPos - m_offset);
    return true;
}
