#pragma once

#include "finding/tagfilter.h"

#include <QCheckBox>
#include <QMap>
#include <QPoint>
#include <QTreeWidget>

class QLabel;

// The box of one tag row; knows the tag it stands for.
class MTagCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    MTagCheckBox(const QString &tagName, const QString &groupName, int groupType, int tagId,
                 QWidget *parent = nullptr);

    const QString &tagName() const { return m_tagName; }
    const QString &groupName() const { return m_groupName; }
    int groupType() const { return m_groupType; }
    int tagId() const { return m_tagId; }

private:
    QString m_tagName;
    QString m_groupName;
    int m_groupType;
    int m_tagId;
};

// The widget of a group row: the group's name and an expand indicator. A press anywhere
// on the row flips the indicator.
class MTreeTopNode : public QWidget
{
    Q_OBJECT

public:
    MTreeTopNode(int groupType, const QString &groupName, double scale, QWidget *parent = nullptr);

    const QString &groupName() const { return m_name; }
    int groupType() const { return m_type; }
    // Follows the row's state without announcing it.
    void setExpanded(bool expanded);

signals:
    void clicked(QString groupName, bool expanded);

public slots:
    void onClickCheck(bool checked);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    int m_type;
    QString m_name;
    QLabel *m_label;
    QCheckBox *m_check;
};

// The tag tree of the filter panel: one collapsible row per group, one box per tag.
// Every tick changes the selection and announces it.
class MTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit MTreeWidget(QWidget *parent = nullptr);

    void clearTags();
    void addGroup(const QString &name, int type);
    void addTag(int row, const QString &name, int tagId);
    // Unticks everything. `announce` false: the caller already changes the list itself.
    void resetTags(bool announce = true);

    QMap<QString, QPoint> *selection() { return m_selection.map(); }
    bool hasSelection() const { return !m_selection.isEmpty(); }
    MTagCheckBox *tagBox(const QString &group, int tagId) const;
    QTreeWidgetItem *groupItem(const QString &group) const { return m_groups.value(group); }
    int itemHeight() const { return m_itemHeight; }

signals:
    void msgTagStateChanged(QMap<QString, QPoint> *tags);

public slots:
    void onClickItem(QTreeWidgetItem *item, int column);
    void onClickCheck();
    void onClickTopNode(QString name, bool expanded);

private:
    void boxToggled(MTagCheckBox *box);
    template <typename F> void forEachBox(F f) const;

    double m_scale;
    int m_itemHeight;
    QMap<QString, QTreeWidgetItem *> m_groups;
    TagSelection m_selection;
};
