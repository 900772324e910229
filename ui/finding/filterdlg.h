#pragma once

#include "fonts/fontrecords.h"

#include <QDialog>
#include <QMap>
#include <QPoint>

class MTreeWidget;
class QLabel;
class QPropertyAnimation;
class QPushButton;

// The tag filter: a frameless popup beside the font area with the tag tree, a close
// button and a reset label. It slides out to the right when closed.
class FilterDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDesignWidth = 168;
    static constexpr int kDesignHeight = 606;
    static constexpr int kFrameMargin = 4; // room for the drop shadow
    static constexpr int kSlideMs = 500;

    explicit FilterDlg(QWidget *parent = nullptr);

    // Rebuilds the tree from the tag groups (nothing happens for an empty list). A group
    // that comes twice is shown once. A selection that the rebuild drops is announced
    // as empty, so the list and the ticks agree.
    void buildTree(const QList<TagGroup> &groups);
    MTreeWidget *tree() const { return m_tree; }
    // Shows the panel with its right edge on the right edge of `area` (global
    // coordinates), from `area`'s top to its bottom.
    void popUp(const QRect &area);

signals:
    void selectChanged(QMap<QString, QPoint> *tags);

public slots:
    void onHideForm();
    void onResetTaged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    double m_scale;
    QWidget *m_frame;
    QLabel *m_title;
    QPushButton *m_closeBt;
    MTreeWidget *m_tree;
    QLabel *m_resetLbl;
    QPropertyAnimation *m_slide;
    bool m_hiding = false;
};
