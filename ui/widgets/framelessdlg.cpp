#include "widgets/framelessdlg.h"

#include "core/screenmetrics.h"
#include "widgets/frameshadow.h"
#include "widgets/windowfade.h"

#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace DlgLook {

int px(double designPixels)
{
    return qMax(1, int(designPixels * uiScaleY));
}

QString lineEdit()
{
    return QStringLiteral("QLineEdit{border:1px solid #E0E0E0;border-radius:%1px;padding-left:%2px;"
                          "background:#FFFFFF;color:#333333;}"
                          "QLineEdit:focus{border:1px solid #4EC4B8;}")
        .arg(px(4))
        .arg(px(8));
}

QString primaryButton()
{
    return QStringLiteral("QPushButton{background:#4EC4B8;color:white;border:none;border-radius:%1px;}"
                          "QPushButton:hover{background:#45B5A9;}"
                          "QPushButton:pressed{background:#3DA397;}")
        .arg(px(4));
}

QString secondaryButton()
{
    return QStringLiteral("QPushButton{background:white;color:#4EC4B8;border:1px solid #4EC4B8;"
                          "border-radius:%1px;}"
                          "QPushButton:hover{background:#F0FAF9;}")
        .arg(px(4));
}

QString link()
{
    return QStringLiteral("color: #4EC4B8;");
}

QString hoverPicture(const QString &picture, const QString &hover)
{
    return QStringLiteral("QPushButton{border-image:url(:/images/images/%1);}"
                          "QPushButton:hover,QPushButton:pressed"
                          "{border-image:url(:/images/images/%2);}")
        .arg(picture, hover);
}

QWidget *body(QWidget *dialog)
{
    auto *body = new QWidget(dialog);
    body->setObjectName(QStringLiteral("mainFrame"));
    body->setAttribute(Qt::WA_StyledBackground);
    body->setStyleSheet(QStringLiteral("#mainFrame{background-color:white;border-radius: 4px;}"));
    return body;
}

QLabel *heading(const QString &text, QWidget *parent, bool bold)
{
    auto *label = new QLabel(text, parent);
    QFont big = label->font();
    big.setPixelSize(px(16));
    big.setBold(bold);
    label->setFont(big);
    label->setStyleSheet(QStringLiteral("color:#333333;"));
    return label;
}

} // namespace DlgLook

namespace {

QPushButton *cornerButton(QWidget *body, const char *name, const char *picture, const char *hover)
{
    auto *bt = new QPushButton(body);
    bt->setObjectName(QLatin1String(name));
    bt->setFlat(true);
    bt->setAutoDefault(false);
    bt->setFocusPolicy(Qt::NoFocus);
    bt->setCursor(Qt::PointingHandCursor);
    bt->setStyleSheet(DlgLook::hoverPicture(QLatin1String(picture), QLatin1String(hover)));
    return bt;
}

} // namespace

FramelessDlg::FramelessDlg(QWidget *parent, Options options)
    : QDialog(parent), m_options(options), m_anim(new QPropertyAnimation(this, "geometry", this))
{
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (options & StayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont f = font();
    f.setPixelSize(DlgLook::px(13));
    setFont(f);
}

void FramelessDlg::setBody(QWidget *body, const QSize &designSize)
{
    m_body = body;
    auto *outer = new QVBoxLayout(this);
    const int shadow = DlgLook::px(8);
    outer->setContentsMargins(shadow, shadow, shadow, shadow);
    // The grow and shrink animations take the window below its layout's minimum.
    outer->setSizeConstraint(QLayout::SetNoConstraint);
    outer->addWidget(body);
    new FrameShadow(body, 10, Qt::gray, 4);

    if (m_options & MinimiseButton) {
        m_minBt = cornerButton(body, "minBt", "Minimize.png", "MinimizeHover.png");
        m_minBt->setToolTip(QStringLiteral("最小化"));
        connect(m_minBt, &QPushButton::clicked, this, &FramelessDlg::onMinForm);
    }
    m_closeBt = cornerButton(body, "closeBt", "CloseInit.png", "CloseHover.png");
    m_closeBt->setToolTip(QStringLiteral("关闭"));
    connect(m_closeBt, &QPushButton::clicked, this, &FramelessDlg::onCloseForm);
    body->installEventFilter(this);
    // Widgets with their own style sheet do not take the dialog's scaled font on their own.
    for (QWidget *child : body->findChildren<QWidget *>())
        if (!child->testAttribute(Qt::WA_SetFont))
            child->setFont(font());
    resize(DlgLook::px(designSize.width()) + 2 * shadow,
           DlgLook::px(designSize.height()) + 2 * shadow);
    placeButtons();
}

FramelessDlg::FramelessDlg(QWidget *parent, Options options, const QSize &designSize)
    : FramelessDlg(parent, options)
{
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("mainFrame"));
    // The text follows the scale too (the children's own sheets only set colours).
    frame->setStyleSheet(QStringLiteral("#mainFrame{background-color:white;border-radius: 4px;}"
                                        "QLabel,QPushButton,QTextBrowser{font-size:%1px;}")
                             .arg(DlgLook::px(13)));
    frame->setFixedSize(DlgLook::px(designSize.width()), DlgLook::px(designSize.height()));
    setBody(frame, designSize);
}

void FramelessDlg::placeButtons()
{
    if (!m_body)
        return;
    const int side = DlgLook::px(14);
    const int top = DlgLook::px(10);
    m_closeBt->setGeometry(m_body->width() - DlgLook::px(24), top, side, side);
    m_closeBt->raise();
    if (m_minBt) {
        m_minBt->setGeometry(m_body->width() - DlgLook::px(46), top, side, side);
        m_minBt->raise();
    }
}

bool FramelessDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_body && event->type() == QEvent::Resize)
        placeButtons();
    return QDialog::eventFilter(watched, event);
}

void FramelessDlg::setAnchor(const QPoint &globalPos)
{
    m_anchor = globalPos;
    m_hasAnchor = true;
}

bool FramelessDlg::isAnimating() const
{
    return m_anim->state() == QAbstractAnimation::Running;
}

QRect FramelessDlg::fitInside(const QRect &wanted, const QRect &area)
{
    QRect r = wanted;
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

QRect FramelessDlg::availableArea(const QPoint &globalPos)
{
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : deskRect;
}

void FramelessDlg::centreOver(const QRect &globalRect)
{
    QRect r(QPoint(0, 0), size());
    r.moveCenter(globalRect.center());
    move(fitInside(r, availableArea(r.center())).topLeft());
}

void FramelessDlg::centreOver(const QWidget *window)
{
    // Kept on the screen, also when the window itself reaches past its edge.
    centreOver(window->frameGeometry());
}

void FramelessDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_grown)
        return;
    m_grown = true;
    m_closing = false;
    const QRect target = fitInside(geometry(), availableArea(geometry().center()));
    setGeometry(target);
    if (m_options & FadeIn)
        fadeWindow(this, 0.0, 1.0, kFadeMs);
    if (!(m_options & GrowFromAnchor) || !m_hasAnchor)
        return;
    m_anim->stop();
    m_anim->setDuration(kGrowMs);
    m_anim->setStartValue(QRect(m_anchor, QSize(0, 0)));
    m_anim->setEndValue(target);
    m_anim->start();
}

void FramelessDlg::closeAnimated(int result)
{
    if (m_closing)
        return;
    if (!isVisible() || isMinimized()) {
        finishClosing(result, geometry());
        return;
    }
    m_closing = true;
    // Closed while still growing, the full size is where the growth was heading.
    const QRect full = isAnimating() ? m_anim->endValue().toRect() : geometry();
    m_anim->stop();
    disconnect(m_anim, &QPropertyAnimation::finished, this, nullptr);
    if (m_options & FadeOut) {
        setGeometry(full);
        fadeWindow(this, windowOpacity(), 0.0, kFadeMs,
                   [this, result, full] { finishClosing(result, full); });
        return;
    }
    if (!(m_options & GrowFromAnchor)) {
        finishClosing(result, full);
        return;
    }
    connect(m_anim, &QPropertyAnimation::finished, this, [this, result, full] {
        disconnect(m_anim, &QPropertyAnimation::finished, this, nullptr);
        finishClosing(result, full);
    });
    const QPoint end = m_hasAnchor ? m_anchor : geometry().center();
    m_anim->setDuration(kShrinkMs);
    m_anim->setStartValue(geometry());
    m_anim->setEndValue(QRect(end, QSize(0, 0)));
    m_anim->start();
}

void FramelessDlg::finishClosing(int result, const QRect &full)
{
    m_grown = false;
    m_closing = false;
    done(result);
    // Shown again, the dialog comes back whole.
    setGeometry(full);
    setWindowOpacity(1.0);
}

void FramelessDlg::onCloseForm()
{
    closeAnimated(QDialog::Rejected);
}

void FramelessDlg::reject()
{
    closeAnimated(QDialog::Rejected);
}

void FramelessDlg::onMinForm()
{
    showMinimized();
    emit minOrder();
}

void FramelessDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    m_drag.press(this, event->globalPos());
    event->accept();
}

void FramelessDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (isAnimating() || !m_drag.follow(this, event->globalPos(), event->buttons())) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    event->accept();
}

void FramelessDlg::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release();
    QDialog::mouseReleaseEvent(event);
}
