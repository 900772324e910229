#include "widgets/fadedlg.h"

#include "widgets/framelessdlg.h"
#include "core/screenmetrics.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

int FadeDlg::px(double designPixels)
{
    // Never below the design size: on small screens the text would become unreadable,
    // and the dialogs fit on any screen at that size.
    return qMax(1, int(designPixels * qMax(uiScaleY, 1.0)));
}

FadeDlg::FadeDlg(QWidget *parent, const QSize &designSize)
    : QDialog(parent), m_body(new QFrame(this)), m_closeBt(new QPushButton(m_body))
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);

    m_body->setObjectName(QStringLiteral("mainFrame"));
    // The text follows the scale too (the children's own sheets only set colours).
    m_body->setStyleSheet(
        QStringLiteral("#mainFrame{background-color:white;border-radius: 4px;}"
                       "QLabel,QPushButton,QTextBrowser{font-size:%1px;}")
            .arg(px(13)));
    auto *effect = new QGraphicsDropShadowEffect(m_body);
    effect->setBlurRadius(10);
    effect->setColor(Qt::gray);
    effect->setOffset(0, 0);
    m_body->setGraphicsEffect(effect);
    const int shadow = px(8);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(shadow, shadow, shadow, shadow);
    outer->addWidget(m_body);
    m_body->setFixedSize(px(designSize.width()), px(designSize.height()));

    m_closeBt->setObjectName(QStringLiteral("closeBt"));
    m_closeBt->setFlat(true);
    m_closeBt->setAutoDefault(false);
    m_closeBt->setFocusPolicy(Qt::NoFocus);
    m_closeBt->setCursor(Qt::PointingHandCursor);
    m_closeBt->setToolTip(QStringLiteral("关闭"));
    m_closeBt->setStyleSheet(DlgLook::hoverPicture(QStringLiteral("CloseInit.png"),
                                                   QStringLiteral("CloseHover.png")));
    m_closeBt->setGeometry(m_body->width() - px(24), px(10), px(14), px(14));
    connect(m_closeBt, &QPushButton::clicked, this, &FadeDlg::onCloseBt);
}

void FadeDlg::centreOver(const QWidget *window)
{
    adjustSize();
    QRect r(QPoint(0, 0), size());
    r.moveCenter(window->frameGeometry().center());
    // Kept on the screen, also when the window itself reaches past its edge.
    move(FramelessDlg::fitInside(r, FramelessDlg::availableArea(r.center())).topLeft());
}

void FadeDlg::fade(double from, double to)
{
    auto *anim = new QPropertyAnimation(this, "windowOpacity", this);
    anim->setDuration(kFadeMs);
    anim->setStartValue(from);
    anim->setEndValue(to);
    if (to < from)
        connect(anim, &QPropertyAnimation::finished, this, &QDialog::reject);
    anim->start(QAbstractAnimation::DeleteWhenStopped);
}

void FadeDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_closing = false;
    fade(0.0, 1.0);
}

void FadeDlg::onCloseBt()
{
    if (m_closing)
        return;
    m_closing = true;
    fade(windowOpacity(), 0.0);
}

void FadeDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - pos();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void FadeDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void FadeDlg::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
