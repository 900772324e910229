#pragma once

#include <QPoint>
#include <Qt>

class QWidget;

// Moves a frameless window with the mouse: from a press on it, the window follows the
// pointer while the left button stays down.
class WindowDrag
{
public:
    void press(const QWidget *window, const QPoint &globalPos);
    // Moves the window when a drag is under way; false otherwise.
    bool follow(QWidget *window, const QPoint &globalPos, Qt::MouseButtons buttons);
    void release() { m_active = false; }
    bool isActive() const { return m_active; }

private:
    bool m_active = false;
    QPoint m_offset;
};
