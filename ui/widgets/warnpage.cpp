#include "widgets/warnpage.h"

#include "widgets/btlabel.h"
#include "core/screenmetrics.h"

#include <QLabel>

const char *const WarnPage::kTextColour = "#4D4D4D";
const char *const WarnPage::kLinkColour = "#4EC4B8";

WarnPage::WarnPage(const QString &pictureStyle, QWidget *parent)
    : QWidget(parent), m_scale(uiScaleY), m_picture(new QLabel(this))
{
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setStyleSheet(pictureStyle);
    QFont f = font();
    f.setPixelSize(qMax(1, int(14 * m_scale)));
    setFont(f);
}

QLabel *WarnPage::append(int line, QLabel *label, const char *colour)
{
    label->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(colour)));
    // A label with its own style sheet would keep the default font.
    label->setFont(font());
    m_lines[qBound(0, line, 1)].append(label);
    relayout();
    return label;
}

QLabel *WarnPage::addText(int line, const QString &text, const char *colour)
{
    return append(line, new QLabel(text, this), colour);
}

BtLabel *WarnPage::addLink(int line, const QString &text)
{
    auto *link = new BtLabel(text, this);
    link->setCursor(Qt::PointingHandCursor);
    append(line, link, kLinkColour);
    return link;
}

void WarnPage::resizeEvent(QResizeEvent *)
{
    relayout();
}

void WarnPage::relayout()
{
    const double s = m_scale;
    const int cx = width() / 2;
    const int cy = height() / 2;
    const int side = int(100 * s);
    m_picture->setGeometry(cx - int(50 * s), cy - int(140 * s), side, side);
    const int lineHeight = int(22 * s);
    const int tops[2] = {cy - int(30 * s), cy - int(30 * s) + lineHeight + int(4 * s)};
    for (int line = 0; line < 2; ++line) {
        // The parts of a line keep their order and sit side by side, centred as a whole.
        int total = 0;
        for (QLabel *part : m_lines[line])
            total += part->sizeHint().width();
        int x = cx - total / 2;
        for (QLabel *part : m_lines[line]) {
            const int w = part->sizeHint().width();
            part->setGeometry(x, tops[line], w, lineHeight);
            x += w;
        }
    }
}
