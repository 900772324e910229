#include "finding/filterdlg.h"

#include "core/screenmetrics.h"
#include "finding/mtreewidget.h"
#include "widgets/frameshadow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSet>

FilterDlg::FilterDlg(QWidget *parent) : QDialog(parent)
{
    // The panel follows the window's scale; only the tree keeps its rows readable on
    // small screens.
    m_scale = uiScaleY > 0 ? uiScaleY : 1.0;
    const double s = m_scale;
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("FilterDlg"));

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(kFrameMargin, kFrameMargin, kFrameMargin, kFrameMargin);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("mainFrame"));
    m_frame->setStyleSheet(
        QStringLiteral("#mainFrame{background-color:white;border-radius: 4px;}"));
    outer->addWidget(m_frame);
    new FrameShadow(m_frame, 10, Qt::gray, 4);

    m_title = new QLabel(QStringLiteral("筛选"), m_frame);
    m_title->setObjectName(QStringLiteral("titleLbl"));
    m_title->setStyleSheet(
        QStringLiteral("color:#4D4D4D;border: 1px solid #D7D7D7;border-width:0 0 1px 0;"
                       "font-size:%1px;padding-left:%2px;")
            .arg(int(14 * s))
            .arg(int(10 * s)));
    m_closeBt = new QPushButton(QStringLiteral("×"), m_frame);
    m_closeBt->setObjectName(QStringLiteral("closeBt"));
    m_closeBt->setFlat(true);
    m_closeBt->setAutoDefault(false);
    m_closeBt->setFocusPolicy(Qt::NoFocus);
    m_closeBt->setCursor(Qt::PointingHandCursor);
    m_closeBt->setStyleSheet(
        QStringLiteral("QPushButton{border:none;color:#909090;font-size:%1px;}").arg(int(16 * s)));
    m_tree = new MTreeWidget(m_frame);
    m_tree->setObjectName(QStringLiteral("tagTree"));
    m_resetLbl = new QLabel(QStringLiteral("重置"), m_frame);
    m_resetLbl->setObjectName(QStringLiteral("resetLbl"));
    m_resetLbl->setAlignment(Qt::AlignCenter);
    m_resetLbl->setCursor(Qt::PointingHandCursor);
    m_resetLbl->setStyleSheet(QStringLiteral("color:#4EC4B8;font-size:%1px;").arg(int(12 * s)));
    // A press on the label resets, as on a button.
    m_resetLbl->installEventFilter(this);

    connect(m_closeBt, &QPushButton::clicked, this, &FilterDlg::onHideForm);
    connect(m_tree, &MTreeWidget::msgTagStateChanged, this, &FilterDlg::selectChanged,
            Qt::DirectConnection);
    resize(int(kDesignWidth * s) + 2 * kFrameMargin, int(kDesignHeight * s) + 2 * kFrameMargin);

    m_slide = new QPropertyAnimation(this, "geometry", this);
    m_slide->setDuration(kSlideMs);
    connect(m_slide, &QPropertyAnimation::finished, this, [this] {
        hide();
        m_hiding = false;
    });
}

void FilterDlg::buildTree(const QList<TagGroup> &groups)
{
    if (groups.isEmpty())
        return;
    const bool hadSelection = m_tree->hasSelection();
    m_tree->clearTags();
    QMap<QString, int> rows;
    QSet<QString> seen;
    for (const TagGroup &group : groups) {
        if (group.name.isEmpty())
            continue;
        if (!rows.contains(group.name)) {
            rows.insert(group.name, m_tree->topLevelItemCount());
            m_tree->addGroup(group.name, tagGroupType(group.name));
        }
        for (const TagItem &tag : group.children) {
            const QString key = TagSelection::key(group.name, tag.tagid);
            if (!seen.contains(key)) {
                seen.insert(key);
                m_tree->addTag(rows.value(group.name), tag.tagname, tag.tagid);
            }
        }
    }
    if (hadSelection)
        emit selectChanged(m_tree->selection());
}

void FilterDlg::popUp(const QRect &area)
{
    const int w = int(kDesignWidth * m_scale) + 2 * kFrameMargin;
    const int extra = int(40 * m_scale);
    const int h = area.height() + extra + 2 * kFrameMargin;
    // Reopened while sliding away: the slide stops where it is and the panel is placed anew.
    m_slide->stop();
    m_hiding = false;
    setGeometry(area.right() + 1 - w + kFrameMargin, area.top() - extra - kFrameMargin, w, h);
    show();
    raise();
}

void FilterDlg::onHideForm()
{
    if (!isVisible() || m_hiding)
        return;
    m_hiding = true;
    m_slide->setStartValue(geometry());
    m_slide->setEndValue(geometry().translated(width(), 0));
    m_slide->start();
}

void FilterDlg::onResetTaged()
{
    m_tree->resetTags();
}

bool FilterDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_resetLbl && event->type() == QEvent::MouseButtonPress)
        onResetTaged();
    return QDialog::eventFilter(watched, event);
}

void FilterDlg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    const double s = m_scale;
    const int w = width() - 2 * kFrameMargin;
    const int h = height() - 2 * kFrameMargin;
    m_title->setGeometry(0, 0, w, int(36 * s));
    m_closeBt->setGeometry(w - int(35 * s), int(8 * s), int(20 * s), int(20 * s));
    m_tree->setGeometry(int(5 * s), int(40 * s), w - int(10 * s), h - int(82 * s));
    const int lw = int(50 * s);
    const int lh = int(36 * s);
    m_resetLbl->setGeometry((w - lw) / 2, h - int(41 * s), lw, lh);
}
