#pragma once

#include <QDialog>

class QFrame;
class QPushButton;

// Base of the small frameless dialogs of the version check and the feedback: a white
// rounded body with a shadow and a close button, dragged from anywhere, fading in and
// out in 400 ms.
class FadeDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kFadeMs = 400;

    // The body is designed at scale 1 in `designSize`; sizes grow with uiScaleY.
    FadeDlg(QWidget *parent, const QSize &designSize);

    QFrame *body() const { return m_body; }
    QPushButton *closeButton() const { return m_closeBt; }
    // Centred over `window`, inside the available area of its screen.
    void centreOver(const QWidget *window);
    static int px(double designPixels);

public slots:
    // Fades out, then closes.
    void onCloseBt();

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void fade(double from, double to);

    QFrame *m_body;
    QPushButton *m_closeBt;
    bool m_closing = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
