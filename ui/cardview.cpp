#include "cardview.h"

#include "cardmodel.h"
#include "localfontscan.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QScrollBar>

CardDelegate::CardDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QSize CardDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 292, m_rowHeight);
}

namespace {

// Pictures scaled once per path and height, then taken from the cache.
QPixmap previewPixmap(const QString &path, const QSize &box)
{
    const QString key =
        QStringLiteral("card:%1:%2x%3").arg(path).arg(box.width()).arg(box.height());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QPixmap source(path);
    if (source.isNull())
        return {};
    pixmap = source.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

void CardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    const QRect r = option.rect;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillRect(r, (option.state & QStyle::State_MouseOver) ? QColor("#f7f7f7") : Qt::white);

    const QString name = index.data(CardModel::NameRole).toString();
    const bool textMode = index.data(CardModel::TextModeRole).toBool();
    const int left = r.left() + 6;
    const int right = r.right() - 6;

    // Name line.
    QFont small = option.font;
    small.setPixelSize(12);
    painter->setFont(small);
    painter->setPen(QColor("#7F7F7F"));
    const QRect nameRect(left, r.top() + 6, right - left - 44, 16);
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(name, Qt::ElideRight, nameRect.width()));

    // Preview strip.
    const QRect preview(left, r.top() + 28, right - left - 44, r.height() - 40);
    const QString path = index.data(CardModel::ImagePathRole).toString();
    const QPixmap pixmap = path.isEmpty() ? QPixmap() : previewPixmap(path, preview.size());
    if (!pixmap.isNull()) {
        painter->drawPixmap(preview.left(),
                            preview.top() + (preview.height() - pixmap.height()) / 2, pixmap);
    } else {
        QFont font = option.font;
        if (textMode)
            applyStyleName(index.data(CardModel::FamilyRole).toString(),
                           index.data(CardModel::StyleRole).toString(), font);
        font.setPixelSize(qMax(12, qMin(28, preview.height() - 8)));
        painter->setFont(font);
        painter->setPen(textMode ? QColor("#333333") : QColor("#555555"));
        const QString shown = index.data(CardModel::PreviewTextRole).toString();
        painter->drawText(preview, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(font).elidedText(shown, Qt::ElideRight, preview.width()));
    }

    // Marks on the right.
    const int markX = r.right() - 30;
    if (index.data(CardModel::LovedRole).toBool()) {
        painter->setPen(QColor("#f25c6b"));
        QFont heart = option.font;
        heart.setPixelSize(16);
        painter->setFont(heart);
        painter->drawText(QRect(markX, r.top() + 4, 20, 20), Qt::AlignCenter, QStringLiteral("♥"));
    }
    const QRect mid(markX, preview.top(), 20, preview.height());
    if (index.data(CardModel::BusyRole).toBool()) {
        painter->setPen(QColor("#4ec4b8"));
        painter->setFont(small);
        painter->drawText(mid, Qt::AlignCenter, QStringLiteral("…"));
    } else if (index.data(CardModel::AvailableRole).toBool()) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor("#52d882"));
        painter->drawEllipse(QRect(mid.center().x() - 4, mid.center().y() - 4, 8, 8));
    }

    // Download progress along the bottom edge.
    const int progress = index.data(CardModel::ProgressRole).toInt();
    const QRect bar(left, r.bottom() - 2, right - left, 2);
    if (progress > 0) {
        painter->fillRect(bar, QColor("#EAEAEA"));
        painter->fillRect(QRect(bar.left(), bar.top(), bar.width() * progress / 100, bar.height()),
                          QColor("#29CA41"));
    } else {
        painter->fillRect(QRect(left, r.bottom(), right - left, 1), QColor("#f0f0f0"));
    }
    painter->restore();
}

CardView::CardView(QWidget *parent) : QListView(parent), m_delegate(new CardDelegate(this))
{
    setItemDelegate(m_delegate);
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setSingleStep(20);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractItemView::clicked, this, &CardView::onClicked);
}

void CardView::setCardModel(CardModel *model)
{
    m_model = model;
    setModel(model);
}

void CardView::setRowHeight(int height)
{
    if (height <= 0 || height == m_delegate->rowHeight())
        return;
    m_delegate->setRowHeight(height);
    // Uniform rows cache their size: make the view measure again.
    doItemsLayout();
}

void CardView::onClicked(const QModelIndex &index)
{
    if (!m_model || !index.isValid())
        return;
    const QString name = m_model->nameAt(index.row());
    if (name.isEmpty())
        return;
    m_picked = index.row();
    m_pickedName = name;
    emit selectFont(name);
}
