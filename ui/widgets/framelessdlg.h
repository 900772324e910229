#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

class QPropertyAnimation;
class QPushButton;

// Base of the program's own dialogs: no system frame, a white rounded body with a soft
// shadow on a transparent window, minimise and close buttons in the body's corner,
// dragged by any point that no control takes. It grows out of an anchor point when
// shown and shrinks back into it when closed, and it always lands inside the available
// area of the screen it is on.
class FramelessDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kGrowMs = 250;
    static constexpr int kShrinkMs = 200;

    FramelessDlg(QWidget *parent, bool stayOnTop);

    // Global point the dialog grows from and shrinks into (the main window uses its
    // user button's global position + (4, 4)). Without one the dialog just appears.
    void setAnchor(const QPoint &globalPos);
    QPoint anchor() const { return m_anchor; }
    bool hasAnchor() const { return m_hasAnchor; }

    // Centres the dialog over a global rectangle, kept inside the available area.
    void centreOver(const QRect &globalRect);
    bool isAnimating() const;

    // wanted moved (not resized) so that as much of it as possible lies inside area;
    // a rectangle larger than the area keeps its top-left corner in the area.
    static QRect fitInside(const QRect &wanted, const QRect &area);
    // Available area (screen less panels) of the screen holding a global point.
    static QRect availableArea(const QPoint &globalPos);

signals:
    void minOrder();

public slots:
    // Shrinks into the anchor, then closes as rejected.
    void onCloseForm();
    // Minimises and tells the owner, which may minimise with it.
    void onMinForm();
    // Escape and the window manager's close shrink away like the close button.
    void reject() override;

protected:
    // Puts body (the white frame, sized at scale 1) into the dialog. Call once, after the
    // body's widgets are made: they get the scaled font here.
    void setBody(QWidget *body, const QSize &designSize);
    // Shrinks into the anchor, then done(result).
    void closeAnimated(int result);
    QPushButton *closeButton() const { return m_closeBt; }

    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeButtons();

    QWidget *m_body = nullptr;
    QPushButton *m_minBt = nullptr;
    QPushButton *m_closeBt = nullptr;
    QPropertyAnimation *m_anim;
    QPoint m_anchor;
    bool m_hasAnchor = false;
    bool m_grown = false;
    bool m_closing = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

// Scaled sizes and the shared looks of the dialogs' controls.
namespace DlgLook {
int px(double designPixels);
QString lineEdit();
QString primaryButton();
QString secondaryButton();
QString link();
// A push button drawn by a picture of the program, another one under the mouse or pressed.
QString hoverPicture(const QString &picture, const QString &hover);
} // namespace DlgLook
