#pragma once

#include <QListView>
#include <QMovie>
#include <QStyledItemDelegate>

class CardModel;
class CardView;
class QScrollBar;

// Paints one card: name line, preview strip (the font's picture, or in text mode the
// text drawn in the font), favourite heart, green dot for usable fonts, loading
// animation and download progress line, laid out for the display scale.
class CardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CardDelegate(CardView *view);

    void setRowHeight(int height) { m_rowHeight = height; }
    int rowHeight() const { return m_rowHeight; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    CardView *m_view;
    int m_rowHeight = 95;
};

// A page of cards. Only the rows in sight are painted, so thousands of fonts cost
// nothing until scrolled to. A click on a card asks for its font; a click on its heart
// asks to add it to or remove it from the favourites. Scrolls by its own thin bar, which
// also takes the keyboard (arrows, Page Up/Down, Home, End).
class CardView : public QListView
{
    Q_OBJECT

public:
    explicit CardView(QWidget *parent = nullptr);

    // The thin scroll bar's style sheet, read once by the main window before any page
    // exists.
    static void setScrollBarStyle(const QString &styleSheet);
    static QString scrollBarStyle();

    void setCardModel(CardModel *model);
    CardModel *cardModel() const { return m_model; }
    CardDelegate *delegate() const { return m_delegate; }
    // Changes the row height keeping the relative scroll position.
    void setRowHeight(int height);
    // Text drawn by text-mode cards; empty draws each font's name.
    void setPreviewText(const QString &text);
    const QString &previewText() const { return m_previewText; }

    // Row of the card clicked last, -1 before any.
    int lastPickedRow() const { return m_picked; }
    const QString &lastPickedName() const { return m_pickedName; }

    QScrollBar *ownScrollBar() const { return m_bar; }
    int hoveredRow() const { return m_hoverRow; }
    // What a card shows beside its picture, as painted.
    bool heartVisible(int row) const;
    bool dotVisible(int row) const;
    // The heart's rectangle of a row, in viewport coordinates (empty when not visible).
    QRect heartRect(int row) const;
    QPixmap loadingFrame() const { return m_movie.currentPixmap(); }
    // The card the menu key opens the menu of: the one picked last while it is in
    // sight, else the one under the mouse, else the first in sight; -1 on an empty page.
    int menuRow() const;
    // The menu key's request, for when it reached the window rather than the page.
    void requestKeyboardMenu();

signals:
    void selectFont(const QString &ftName);
    // The heart of a card was clicked: add the font to or remove it from the favourites.
    void collected(const QString &ftName);
    // A card's context menu is asked for (right click, or the menu key).
    void menuRequested(int row, const QPoint &globalPos);
    // A card was drawn with its picture for the first time.
    void firstPictureDrawn();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onClicked(const QModelIndex &index);
    void setHoverRow(int row);
    void placeScrollBar();
    void busyChanged();
    int heartRowAt(const QPoint &pos) const;
    void requestMenu(QContextMenuEvent *event);

    CardModel *m_model = nullptr;
    CardDelegate *m_delegate;
    QScrollBar *m_bar;
    QMovie m_movie;
    QString m_previewText;
    int m_picked = -1;
    QString m_pickedName;
    int m_hoverRow = -1;
    bool m_pictureDrawn = false;

    friend class CardDelegate;
};
