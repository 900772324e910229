#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QRect>
#include <QRectF>

// A menu row: an icon on the left, a line of text and a small arrow on the right,
// all painted at the display scale. Only the painting is its own; clicks are the
// push button's.
class MyBt : public QPushButton
{
    Q_OBJECT

public:
    explicit MyBt(QWidget *parent = nullptr);

    // A null picture draws no icon.
    void setPicture(const QPixmap &picture);
    void setPicture(const QString &resourcePath);
    void setLabelText(const QString &text);
    QString labelText() const { return m_text; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_icon;
    QPixmap m_arrow;
    QString m_text;
    double m_scale;
    QRectF m_iconRect;
    QRect m_arrowRect;
    QRectF m_textRect;
};
