#pragma once

#include "widgets/windowdrag.h"

#include <QDialog>
#include <QLabel>
#include <QPoint>
#include <QRect>

class QFrame;
class QPropertyAnimation;
class QPushButton;

// The base of the program's own dialogs: no system frame, a white rounded body with a soft
// shadow on a transparent window, a close button (and on request a minimise button) in the
// body's corner, dragged by any point that no control takes. How it appears and goes is an
// option: growing out of an anchor point and shrinking back into it, or fading in and out.
// Every way of closing it (its close button, Escape, the window manager's close) goes
// through closeAnimated(). It always lands inside the available area of its screen.
class FramelessDlg : public QDialog
{
    Q_OBJECT

public:
    enum Option {
        StayOnTop = 0x1,
        MinimiseButton = 0x2,
        // Grows out of the anchor when shown and shrinks into it (or into its own centre
        // when there is none) when closed.
        GrowFromAnchor = 0x4,
        FadeIn = 0x8,
        // Closing fades out; it takes the place of the shrink.
        FadeOut = 0x10,
        Fade = FadeIn | FadeOut,
    };
    Q_DECLARE_FLAGS(Options, Option)
    // The account dialogs': grown from the anchor, with a minimise button.
    static Options dialogOptions(bool stayOnTop)
    {
        return Options(GrowFromAnchor | MinimiseButton) | (stayOnTop ? StayOnTop : Option(0));
    }

    static constexpr int kGrowMs = 250;
    static constexpr int kShrinkMs = 200;
    static constexpr int kFadeMs = 400;

    FramelessDlg(QWidget *parent, Options options);
    // For dialogs that place their controls by hand on body(): a white body of designSize
    // (scaled), whose labels and buttons take the scaled text size.
    FramelessDlg(QWidget *parent, Options options, const QSize &designSize);

    // Global point the dialog grows from and shrinks into (the main window uses its
    // user button's global position + (4, 4)). Without one the dialog just appears.
    void setAnchor(const QPoint &globalPos);
    QPoint anchor() const { return m_anchor; }
    bool hasAnchor() const { return m_hasAnchor; }

    // Centres the dialog over a global rectangle or a window, kept inside the available area.
    void centreOver(const QRect &globalRect);
    void centreOver(const QWidget *window);
    bool isAnimating() const;
    QPushButton *closeButton() const { return m_closeBt; }

    // wanted moved (not resized) so that as much of it as possible lies inside area;
    // a rectangle larger than the area keeps its top-left corner in the area.
    static QRect fitInside(const QRect &wanted, const QRect &area);
    // Available area (screen less panels) of the screen holding a global point.
    static QRect availableArea(const QPoint &globalPos);

signals:
    void minOrder();

public slots:
    // Goes as the options say, then closes as rejected.
    void onCloseForm();
    // Minimises and tells the owner, which may minimise with it.
    void onMinForm();
    // Escape and the window manager's close go like the close button.
    void reject() override;

protected:
    // Puts body (the white frame, sized at scale 1) into the dialog. Call once, after the
    // body's widgets are made: they get the scaled font here.
    void setBody(QWidget *body, const QSize &designSize);
    QWidget *body() const { return m_body; }
    // Goes as the options say, then done(result).
    void closeAnimated(int result);

    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeButtons();
    void finishClosing(int result, const QRect &full);

    Options m_options;
    QWidget *m_body = nullptr;
    QPushButton *m_minBt = nullptr;
    QPushButton *m_closeBt = nullptr;
    QPropertyAnimation *m_anim;
    QPoint m_anchor;
    bool m_hasAnchor = false;
    bool m_grown = false;
    bool m_closing = false;
    WindowDrag m_drag;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(FramelessDlg::Options)

// Scaled sizes and the shared looks of the dialogs' controls.
namespace DlgLook {
int px(double designPixels);
QString lineEdit();
QString primaryButton();
QString secondaryButton();
QString link();
// A push button drawn by a picture of the program, another one under the mouse or pressed.
QString hoverPicture(const QString &picture, const QString &hover);
// The white, rounded body a dialog lays its content on.
QWidget *body(QWidget *dialog);
// A dialog's heading: 16 design pixels, dark grey.
QLabel *heading(const QString &text, QWidget *parent, bool bold = true);
} // namespace DlgLook
