#include "details/chargrid.h"

#include "widgets/framelessdlg.h"

#include <QGlyphRun>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

CharGrid::CharGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    m_cell = qMax(32, DlgLook::px(40));
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    verticalScrollBar()->setSingleStep(m_cell / 2);
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setAutoFillBackground(true);
}

void CharGrid::setCharacters(std::vector<uint> codes, const QFont &font)
{
    m_codes = std::move(codes);
    m_font = font;
    m_font.setPixelSize(qMax(8, m_cell * 3 / 5));
    m_raw = QRawFont::fromFont(m_font);
    m_hovered = -1;
    verticalScrollBar()->setValue(0);
    updateRange();
    viewport()->update();
}

int CharGrid::columns() const
{
    return qMax(1, viewport()->width() / m_cell);
}

QRect CharGrid::cellRect(int index) const
{
    const int cols = columns();
    return QRect((index % cols) * m_cell, (index / cols) * m_cell - verticalScrollBar()->value(),
                 m_cell, m_cell);
}

void CharGrid::updateRange()
{
    const int rows = (int(m_codes.size()) + columns() - 1) / columns();
    verticalScrollBar()->setRange(0, qMax(0, rows * m_cell - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
}

void CharGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const int cols = columns();
    const int top = verticalScrollBar()->value();
    const int firstRow = (top + dirty.top()) / m_cell;
    const int lastRow = (top + dirty.bottom()) / m_cell;
    const int count = int(m_codes.size());
    painter.setFont(m_font);
    m_painted = 0;
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int col = 0; col < cols; ++col) {
            const int index = row * cols + col;
            if (index >= count)
                break;
            const QRect r = cellRect(index);
            if (!r.intersects(dirty))
                continue;
            painter.fillRect(r.adjusted(0, 0, -1, -1),
                             index == m_hovered ? QColor("#DFF4F1") : QColor(Qt::white));
            painter.setPen(QColor("#EEEEEE"));
            painter.drawRect(r.adjusted(0, 0, -1, -1));
            const uint code = m_codes[size_t(index)];
            const QString text = QString::fromUcs4(&code, 1);
            const QVector<quint32> one =
                m_raw.isValid() ? m_raw.glyphIndexesForString(text) : QVector<quint32>();
            if (one.size() == 1 && one.first() != 0) {
                // Centred on the glyph's advance and the face's ascent and descent.
                const qreal advance = m_raw.advancesForGlyphIndexes(one).value(0).x();
                const qreal baseline =
                    r.top() + (r.height() + m_raw.ascent() - m_raw.descent()) / 2.0;
                glyphs.append(one.first());
                positions.append(QPointF(r.left() + (r.width() - advance) / 2.0, baseline));
            } else {
                painter.setPen(QColor("#333333"));
                painter.drawText(r, Qt::AlignCenter, text);
            }
            ++m_painted;
        }
    }
    if (!glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(m_raw);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.setPen(QColor("#333333"));
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
}

void CharGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateRange();
}

void CharGrid::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->pos();
    const int col = p.x() / m_cell;
    const int row = (p.y() + verticalScrollBar()->value()) / m_cell;
    const int index = row * columns() + col;
    setHovered(col < columns() && p.x() >= 0 && index >= 0 && index < int(m_codes.size()) ? index
                                                                                           : -1);
    QAbstractScrollArea::mouseMoveEvent(event);
}

void CharGrid::leaveEvent(QEvent *event)
{
    setHovered(-1);
    QAbstractScrollArea::leaveEvent(event);
}

void CharGrid::setHovered(int index)
{
    if (index == m_hovered)
        return;
    for (int i : {m_hovered, index})
        if (i >= 0)
            viewport()->update(cellRect(i));
    m_hovered = index;
    emit hovered(index >= 0 ? m_codes[size_t(index)] : 0);
}
