#pragma once

#include <QWidget>

class QLabel;
class QPropertyAnimation;
class QTimer;

// A short message in the middle of its parent: it grows out of the parent's centre,
// stays for the given time, then shrinks away. One box is made per owner and reused;
// every showMessage() starts over, even while the previous message is shrinking.
class MyMsgBox : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kDefaultMs = 5000; // for durations below kShortestMs
    static constexpr int kShortestMs = 100;
    static constexpr int kGrowMs = 500;
    static constexpr int kShrinkMs = 300;

    explicit MyMsgBox(QWidget *parent);

    void showMessage(const QString &text, int durationMs);
    QString text() const;
    // How long the current message stays, before it shrinks.
    int durationMs() const;
    bool isShrinking() const { return m_shrinking; }

public slots:
    void onSecondChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QRect finalGeometry(const QString &text);

    QLabel *m_label;
    QTimer *m_timer;
    QPropertyAnimation *m_anim;
    bool m_shrinking = false;
};
