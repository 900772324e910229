#include "widgets/mymsgbox.h"

#include "core/screenmetrics.h"

#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>

namespace {

// Toasts never shrink below their full-size look on small screens.
double toastScale()
{
    return qMax(1.0, uiScaleY);
}

} // namespace

MyMsgBox::MyMsgBox(QWidget *parent)
    : QWidget(parent), m_label(new QLabel(this)), m_timer(new QTimer(this)),
      m_anim(new QPropertyAnimation(this, "geometry", this))
{
    m_label->setObjectName(QStringLiteral("msgLabel"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setStyleSheet(
        QStringLiteral("background-color:rgba(0,0,0,0.50);color:white;border-radius:6px;"));
    QFont f = m_label->font();
    f.setPixelSize(int(14 * toastScale()));
    m_label->setFont(f);
    // A notice must not swallow the clicks meant for the form under it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &MyMsgBox::onSecondChanged);
    connect(m_anim, &QPropertyAnimation::finished, this, [this] {
        if (!m_shrinking)
            return;
        m_shrinking = false;
        hide();
    });
    hide();
}

QString MyMsgBox::text() const
{
    return m_label->text();
}

int MyMsgBox::durationMs() const
{
    return m_timer->isActive() ? m_timer->interval() : 0;
}

QRect MyMsgBox::finalGeometry(const QString &text)
{
    const double x = toastScale();
    int h = int(60 * x);
    int w = text.isEmpty() ? int(120 * x) : int(x * (14 * text.size() + 30));
    const QWidget *p = parentWidget();
    m_label->setMargin(0);
    if (!p)
        return QRect(0, 0, w, h);
    // A long text wraps inside the parent rather than running past its edges.
    const int widest = p->width() - 2 * int(10 * x);
    if (widest > 0 && w > widest) {
        w = widest;
        m_label->setMargin(int(12 * x));
        h = qMax(h, m_label->heightForWidth(w));
    }
    return QRect((p->width() - w) / 2, (p->height() - h) / 2, w, h);
}

void MyMsgBox::showMessage(const QString &text, int durationMs)
{
    // Whatever the previous message was doing (growing, waiting, shrinking) ends here,
    // so its shrink cannot hide this one.
    m_anim->stop();
    m_shrinking = false;
    m_timer->stop();

    m_label->setText(text);
    const QRect target = finalGeometry(text);
    const QWidget *p = parentWidget();
    const QPoint centre = p ? QPoint(p->width() / 2, p->height() / 2) : target.center();
    setGeometry(target);
    raise();
    show();
    m_anim->setDuration(kGrowMs);
    m_anim->setStartValue(QRect(centre, QSize(0, 0)));
    m_anim->setEndValue(target);
    m_anim->start();
    m_timer->start(durationMs < kShortestMs ? kDefaultMs : durationMs);
}

void MyMsgBox::onSecondChanged()
{
    m_timer->stop();
    m_anim->stop();
    const QRect from = geometry();
    m_shrinking = true;
    m_anim->setDuration(kShrinkMs);
    m_anim->setStartValue(from);
    m_anim->setEndValue(QRect(from.center(), QSize(0, 0)));
    m_anim->start();
}

void MyMsgBox::resizeEvent(QResizeEvent *)
{
    m_label->setGeometry(rect());
}
