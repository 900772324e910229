#include "finding/mtreewidget.h"

#include "core/screenmetrics.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>

namespace {

// Ampersands in service texts are shown as written, not taken as shortcut marks.
QString literal(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

MTagCheckBox::MTagCheckBox(const QString &tagName, const QString &groupName, int groupType,
                           int tagId, QWidget *parent)
    : QCheckBox(literal(tagName), parent), m_tagName(tagName), m_groupName(groupName),
      m_groupType(groupType), m_tagId(tagId)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

MTreeTopNode::MTreeTopNode(int groupType, const QString &groupName, double scale, QWidget *parent)
    : QWidget(parent), m_type(groupType), m_name(groupName), m_label(new QLabel(this)),
      m_check(new QCheckBox(this))
{
    m_label->setTextFormat(Qt::PlainText);
    m_label->setText(groupName);
    m_label->setStyleSheet(QStringLiteral("color:#414141;font-size:%1px;").arg(int(12 * scale)));
    m_check->setStyleSheet(
        QStringLiteral(
            "QCheckBox{background:transparent;}"
            "QCheckBox::indicator:unchecked{border-image:url(:/images/images/packUp.png);}"
            "QCheckBox::indicator:checked{border-image:url(:/images/images/expand.png);}"
            "QCheckBox::indicator{width:%1px;height:%1px;}")
            .arg(int(12 * scale)));
    m_check->setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, int(6 * scale), 0);
    row->addWidget(m_label, 1);
    row->addWidget(m_check);
    connect(m_check, &QCheckBox::toggled, this, &MTreeTopNode::onClickCheck);
}

void MTreeTopNode::setExpanded(bool expanded)
{
    const bool was = m_check->blockSignals(true);
    m_check->setChecked(expanded);
    m_check->blockSignals(was);
}

void MTreeTopNode::onClickCheck(bool checked)
{
    emit clicked(m_name, checked);
}

void MTreeTopNode::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_check->toggle();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

MTreeWidget::MTreeWidget(QWidget *parent) : QTreeWidget(parent)
{
    m_scale = uiScaleY < 0.6 ? 1.0 : uiScaleY;
    m_itemHeight = int(30 * m_scale);
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(int(10 * m_scale));
    setRootIsDecorated(false);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QTreeWidget::itemClicked, this, &MTreeWidget::onClickItem);
    // The indicator follows the row however it was opened or closed.
    const auto follow = [this](QTreeWidgetItem *item, bool expanded) {
        if (auto *node = qobject_cast<MTreeTopNode *>(itemWidget(item, 0)))
            node->setExpanded(expanded);
    };
    connect(this, &QTreeWidget::itemExpanded, this,
            [follow](QTreeWidgetItem *item) { follow(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [follow](QTreeWidgetItem *item) { follow(item, false); });
}

void MTreeWidget::clearTags()
{
    m_selection.clear();
    m_groups.clear();
    clear();
}

void MTreeWidget::addGroup(const QString &name, int type)
{
    if (name.isEmpty())
        return;
    auto *item = new QTreeWidgetItem(this);
    item->setSizeHint(0, QSize(width(), m_itemHeight));
    m_groups.insert(name, item);
    auto *node = new MTreeTopNode(type, name, m_scale);
    setItemWidget(item, 0, node);
    connect(node, &MTreeTopNode::clicked, this, &MTreeWidget::onClickTopNode);
}

void MTreeWidget::addTag(int row, const QString &name, int tagId)
{
    QTreeWidgetItem *group = row < 0 ? nullptr : topLevelItem(row);
    if (!group || name.isEmpty())
        return;
    auto *node = qobject_cast<MTreeTopNode *>(itemWidget(group, 0));
    if (!node)
        return;
    auto *item = new QTreeWidgetItem(group);
    item->setSizeHint(0, QSize(width(), m_itemHeight));
    auto *box = new MTagCheckBox(name, node->groupName(), node->groupType(), tagId);
    box->setStyleSheet(
        QStringLiteral(
            "QCheckBox{spacing:%1px;font-size:%2px;color:#999999;}"
            "QCheckBox::indicator:unchecked{border-image:url(:/images/images/tag_checkno.png);}"
            "QCheckBox::indicator:checked{border-image:url(:/images/images/tag_check.png);}"
            "QCheckBox::indicator{width:%3px;height:%4px;}")
            .arg(int(8 * m_scale))
            .arg(int(12 * m_scale))
            .arg(int(14 * m_scale))
            .arg(int(14 * m_scale)));
    setItemWidget(item, 0, box);
    connect(box, &QCheckBox::clicked, this, &MTreeWidget::onClickCheck);
}

template <typename F> void MTreeWidget::forEachBox(F f) const
{
    for (int g = 0; g < topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = topLevelItem(g);
        for (int t = 0; t < group->childCount(); ++t)
            if (auto *box = qobject_cast<MTagCheckBox *>(itemWidget(group->child(t), 0)))
                f(box);
    }
}

MTagCheckBox *MTreeWidget::tagBox(const QString &group, int tagId) const
{
    MTagCheckBox *found = nullptr;
    forEachBox([&](MTagCheckBox *box) {
        if (!found && box->groupName() == group && box->tagId() == tagId)
            found = box;
    });
    return found;
}

void MTreeWidget::resetTags(bool announce)
{
    m_selection.clear();
    forEachBox([](MTagCheckBox *box) { box->setChecked(false); });
    if (announce)
        emit msgTagStateChanged(m_selection.map());
}

void MTreeWidget::boxToggled(MTagCheckBox *box)
{
    m_selection.set(box->groupName(), box->groupType(), box->tagId(), box->isChecked());
    emit msgTagStateChanged(m_selection.map());
}

void MTreeWidget::onClickCheck()
{
    if (auto *box = qobject_cast<MTagCheckBox *>(sender()))
        boxToggled(box);
}

void MTreeWidget::onClickItem(QTreeWidgetItem *item, int column)
{
    if (!item)
        return;
    if (auto *box = qobject_cast<MTagCheckBox *>(itemWidget(item, column))) {
        box->toggle();
        boxToggled(box);
    } else if (!item->parent()) {
        item->setExpanded(!item->isExpanded());
    }
}

void MTreeWidget::onClickTopNode(QString name, bool expanded)
{
    if (QTreeWidgetItem *item = m_groups.value(name))
        item->setExpanded(expanded);
}
