#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QRawFont>

#include <vector>

// Every mapped character of a font in a grid of square cells. Only the rows in sight are
// painted, so a font of tens of thousands of characters scrolls like a small one. The
// character under the mouse is highlighted and reported.
class CharGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CharGrid(QWidget *parent = nullptr);

    void setCharacters(std::vector<uint> codes, const QFont &font);
    int cellSize() const { return m_cell; }
    int columns() const;
    int hoveredIndex() const { return m_hovered; }
    // Cells drawn by the last paint.
    int paintedCells() const { return m_painted; }

signals:
    // code is the hovered character, or 0 when the mouse left the characters.
    void hovered(uint code);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void updateRange();
    void setHovered(int index);
    QRect cellRect(int index) const;

    std::vector<uint> m_codes;
    QFont m_font;
    // The face the font resolves to: the visible cells' glyphs go out in one run.
    QRawFont m_raw;
    int m_cell = 40;
    int m_hovered = -1;
    int m_painted = 0;
};
