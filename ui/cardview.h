#pragma once

#include <QListView>
#include <QStyledItemDelegate>

class CardModel;

// Paints one card: name line, preview picture (or the name drawn as text), favourite
// heart, green dot for usable fonts, busy note and download progress line.
class CardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CardDelegate(QObject *parent = nullptr);

    void setRowHeight(int height) { m_rowHeight = height; }
    int rowHeight() const { return m_rowHeight; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_rowHeight = 95;
};

// A page of cards. Only the rows in sight are painted, so thousands of fonts cost
// nothing until scrolled to. A click on a card asks for its font.
class CardView : public QListView
{
    Q_OBJECT

public:
    explicit CardView(QWidget *parent = nullptr);

    void setCardModel(CardModel *model);
    CardModel *cardModel() const { return m_model; }
    CardDelegate *delegate() const { return m_delegate; }
    void setRowHeight(int height);
    // Row of the card clicked last, -1 before any.
    int lastPickedRow() const { return m_picked; }
    const QString &lastPickedName() const { return m_pickedName; }

signals:
    void selectFont(const QString &ftName);

private:
    void onClicked(const QModelIndex &index);

    CardModel *m_model = nullptr;
    CardDelegate *m_delegate;
    int m_picked = -1;
    QString m_pickedName;
};
