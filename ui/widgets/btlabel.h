#pragma once

#include <QLabel>

// A label that works as a button: clicked() fires on the press, not the release,
// and the press then goes on to the label (and so to its parents) as usual.
class BtLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
