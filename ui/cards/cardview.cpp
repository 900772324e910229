#include "cards/cardview.h"

#include "cards/cardlayout.h"
#include "cards/cardmodel.h"
#include "fonts/localfontscan.h"
#include "core/screenmetrics.h"
#include "cards/scrollrules.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

namespace {

constexpr int kBarWidth = 8;
constexpr int kSmallestNamePixels = 9;

QString &scrollBarStyleSheet()
{
    static QString style;
    return style;
}

// Pictures scaled once per path and label size, then taken from the cache.
QPixmap previewPixmap(const QString &path, const QSize &label)
{
    const QString key =
        QStringLiteral("card:%1:%2x%3").arg(path).arg(label.width()).arg(label.height());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QPixmap source(path);
    if (source.isNull() || label.isEmpty())
        return {};
    const Qt::AspectRatioMode mode = previewExpands(source.size(), label)
                                         ? Qt::KeepAspectRatioByExpanding
                                         : Qt::KeepAspectRatio;
    pixmap = source.scaled(label, mode, Qt::SmoothTransformation);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap heartPixmap(bool loved, const QSize &size)
{
    const QString path = loved ? QStringLiteral(":/images/images/love.png")
                               : QStringLiteral(":/images/images/nolove.png");
    const QString key = QStringLiteral("heart:%1:%2x%3").arg(loved).arg(size.width()).arg(
        size.height());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap(path);
    if (pixmap.isNull())
        return {};
    pixmap = pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

// A font whose line height is `height` pixels: the point size is scaled by how far its
// metrics are from it.
QFont fittedFont(QFont font, int height)
{
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(9);
    const QFontMetricsF metrics(font);
    const double size = font.pointSizeF() * height / (metrics.height() + 0.1);
    if (size > 0)
        font.setPointSizeF(size);
    return font;
}

CardLayout layoutFor(const QRect &rect)
{
    return CardLayout::compute(rect.width(), rect.height(), uiScaleX, uiScaleY);
}

} // namespace

CardDelegate::CardDelegate(CardView *view) : QStyledItemDelegate(view), m_view(view) {}

QSize CardDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 292, m_rowHeight);
}

void CardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    const QRect r = option.rect;
    const CardLayout c = layoutFor(r);
    const QPoint at = r.topLeft();
    painter->save();
    painter->fillRect(r, Qt::white);

    const QString name = index.data(CardModel::NameRole).toString();
    const bool textMode = index.data(CardModel::TextModeRole).toBool();

    // Name line.
    QFont nameFont = fittedFont(option.font, c.name.height());
    // On very small screens the line would be too small to read.
    if (QFontInfo(nameFont).pixelSize() < kSmallestNamePixels)
        nameFont.setPixelSize(kSmallestNamePixels);
    painter->setFont(nameFont);
    painter->setPen(QColor("#7F7F7F"));
    const QRect nameRect = c.name.translated(at);
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(nameFont).elidedText(name, Qt::ElideRight, nameRect.width()));

    // Preview strip: the label is as wide as the picture's proportions ask and the frame
    // cuts off what does not fit.
    const QRect preview = c.preview.translated(at);
    painter->save();
    painter->setClipRect(preview);
    if (textMode) {
        QFont font = option.font;
        applyStyleName(index.data(CardModel::FamilyRole).toString(),
                       index.data(CardModel::StyleRole).toString(), font);
        font.setPointSizeF(20);
        font = fittedFont(font, preview.height());
        painter->setFont(font);
        painter->setPen(QColor("#333333"));
        const QString text = m_view->previewText().isEmpty() ? name : m_view->previewText();
        const QRect label(preview.topLeft(),
                          QSize(qMax(previewLabelWidth(preview.height()), preview.width()),
                                preview.height()));
        painter->drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text);
    } else {
        const QString path = index.data(CardModel::ImagePathRole).toString();
        const QSize label(previewLabelWidth(preview.height()), preview.height());
        const QPixmap pixmap = path.isEmpty() ? QPixmap() : previewPixmap(path, label);
        if (!pixmap.isNull()) {
            painter->drawPixmap(preview.left(),
                                preview.top() + (preview.height() - pixmap.height()) / 2, pixmap);
            if (!m_view->m_pictureDrawn) {
                m_view->m_pictureDrawn = true;
                QMetaObject::invokeMethod(m_view, &CardView::firstPictureDrawn,
                                          Qt::QueuedConnection);
            }
        }
        else if (!path.isEmpty() && m_view->cardModel())
            m_view->cardModel()->pictureUnreadable(name);
    }
    painter->restore();

    // Marks on the right.
    const int row = index.row();
    if (m_view->heartVisible(row)) {
        const QPixmap heart =
            heartPixmap(index.data(CardModel::LovedRole).toBool(), c.heart.size());
        if (!heart.isNull())
            painter->drawPixmap(c.heart.translated(at).topLeft(), heart);
    }
    if (index.data(CardModel::BusyRole).toBool()) {
        const QPixmap frame = m_view->loadingFrame();
        if (!frame.isNull())
            painter->drawPixmap(c.loading.translated(at), frame);
    } else if (m_view->dotVisible(row)) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor("#52d882"));
        painter->drawEllipse(c.dot.translated(at));
    }

    // Download progress along the bottom edge: a grey line that fills green.
    const QRect bar = c.progress.translated(at);
    painter->fillRect(bar, QColor("#EAEAEA"));
    const int progress = index.data(CardModel::ProgressRole).toInt();
    if (progress > 0) {
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0, QColor("#CFE753"));
        gradient.setColorAt(1, QColor("#29CA41"));
        painter->fillRect(QRect(bar.left(), bar.top(), bar.width() * progress / 100, bar.height()),
                          gradient);
    }
    painter->restore();
}

void CardView::setScrollBarStyle(const QString &styleSheet)
{
    scrollBarStyleSheet() = styleSheet;
}

QString CardView::scrollBarStyle()
{
    return scrollBarStyleSheet();
}

CardView::CardView(QWidget *parent)
    : QListView(parent), m_delegate(new CardDelegate(this)), m_bar(new QScrollBar(Qt::Vertical, this)),
      m_movie(QStringLiteral(":/images/images/move_load.gif"))
{
    setItemDelegate(m_delegate);
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral(
        "QListView{background-color:transparent;selection-background-color:transparent;}"));
    setCursor(Qt::ArrowCursor);
    viewport()->setCursor(Qt::PointingHandCursor);

    // The page's own thin bar over the right edge, mirroring the hidden built-in one.
    m_bar->setObjectName(QStringLiteral("cardScrollBar"));
    m_bar->setStyleSheet(scrollBarStyleSheet());
    m_bar->setSingleStep(ScrollRules::kNotchPixels);
    m_bar->setFocusPolicy(Qt::StrongFocus);
    m_bar->setCursor(Qt::ArrowCursor);
    m_bar->hide();
    QScrollBar *inner = verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, this, [this, inner](int min, int max) {
        m_bar->setRange(min, max);
        m_bar->setPageStep(inner->pageStep());
        m_bar->setVisible(max > min);
        m_bar->setEnabled(max > min);
    });
    connect(inner, &QScrollBar::valueChanged, m_bar, &QScrollBar::setValue);
    connect(m_bar, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    // Clicking a card leaves the keyboard with the page's bar.
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(m_bar);
    // The menu key reaches the bar, which has a menu of its own.
    m_bar->installEventFilter(this);

    m_movie.setCacheMode(QMovie::CacheAll);
    connect(&m_movie, &QMovie::frameChanged, this, [this] {
        if (m_model && m_model->hasBusy())
            viewport()->update();
        else
            m_movie.stop();
    });
    connect(this, &QAbstractItemView::clicked, this, &CardView::onClicked);
}

void CardView::setCardModel(CardModel *model)
{
    m_model = model;
    setModel(model);
    if (model) {
        connect(model, &QAbstractItemModel::dataChanged, this, &CardView::busyChanged);
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            m_hoverRow = -1;
            busyChanged();
        });
    }
}

void CardView::busyChanged()
{
    if (!m_model || !m_model->hasBusy() || m_movie.state() == QMovie::Running)
        return;
    const CardLayout c = layoutFor(QRect(0, 0, viewport()->width(), m_delegate->rowHeight()));
    m_movie.setScaledSize(c.loading.size());
    m_movie.start();
}

void CardView::setRowHeight(int height)
{
    if (height <= 0 || height == m_delegate->rowHeight())
        return;
    QScrollBar *inner = verticalScrollBar();
    const int oldMax = inner->maximum();
    const int oldValue = inner->value();
    const int firstRow = oldValue / m_delegate->rowHeight();
    m_delegate->setRowHeight(height);
    // Uniform rows cache their size: make the view measure again.
    doItemsLayout();
    updateGeometries();
    const int rows = m_model ? m_model->rowCount() : 0;
    const int newMax = qMax(0, rows * height - viewport()->height());
    inner->setValue(ScrollRules::keepRelative(oldValue, oldMax, newMax, firstRow, height));
}

void CardView::setPreviewText(const QString &text)
{
    if (text == m_previewText)
        return;
    m_previewText = text;
    viewport()->update();
}

bool CardView::heartVisible(int row) const
{
    const QModelIndex index = m_model ? m_model->index(row) : QModelIndex();
    if (!index.isValid() || index.data(CardModel::TextModeRole).toBool() ||
        index.data(CardModel::NameRole).toString().isEmpty())
        return false;
    return row == m_hoverRow || index.data(CardModel::LovedRole).toBool();
}

bool CardView::dotVisible(int row) const
{
    const QModelIndex index = m_model ? m_model->index(row) : QModelIndex();
    return index.isValid() && index.data(CardModel::AvailableRole).toBool();
}

QRect CardView::heartRect(int row) const
{
    if (!heartVisible(row))
        return {};
    const QRect r = visualRect(m_model->index(row));
    return layoutFor(r).heart.translated(r.topLeft());
}

QRect CardView::previewRect(int row) const
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return {};
    const QRect r = visualRect(m_model->index(row));
    return layoutFor(r).preview.translated(r.topLeft());
}

int CardView::heartRowAt(const QPoint &pos) const
{
    const QModelIndex index = indexAt(pos);
    return index.isValid() && heartRect(index.row()).contains(pos) ? index.row() : -1;
}

void CardView::setHoverRow(int row)
{
    if (row == m_hoverRow)
        return;
    const int old = m_hoverRow;
    m_hoverRow = row;
    for (int r : {old, row})
        if (m_model && r >= 0 && r < m_model->rowCount())
            update(m_model->index(r));
}

void CardView::mouseMoveEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->pos());
    setHoverRow(index.isValid() ? index.row() : -1);
    QListView::mouseMoveEvent(event);
}

void CardView::mousePressEvent(QMouseEvent *event)
{
    const int row = event->button() == Qt::LeftButton ? heartRowAt(event->pos()) : -1;
    if (row >= 0) {
        // The heart is a button of its own: no font is picked.
        event->accept();
        emit collected(m_model->nameAt(row));
        return;
    }
    m_pressPos = event->pos();
    QListView::mousePressEvent(event);
}

bool CardView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Leave:
        setHoverRow(-1);
        break;
    case QEvent::ToolTip: {
        auto *help = static_cast<QHelpEvent *>(event);
        const int row = heartRowAt(help->pos());
        if (row >= 0) {
            const bool loved = m_model->index(row).data(CardModel::LovedRole).toBool();
            QToolTip::showText(help->globalPos(),
                               loved ? QStringLiteral("取消收藏") : QStringLiteral("收藏"),
                               viewport(), heartRect(row));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void CardView::wheelEvent(QWheelEvent *event)
{
    QScrollBar *inner = verticalScrollBar();
    inner->setValue(ScrollRules::wheelTarget(inner->value(), inner->maximum(),
                                             event->pixelDelta(), event->angleDelta()));
    event->accept();
}

void CardView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    placeScrollBar();
}

void CardView::placeScrollBar()
{
    // As narrow, at the window's scale, as the heart beside it expects.
    const int bar = qMax(4, int(kBarWidth * uiScaleX));
    m_bar->setGeometry(width() - bar, 0, bar, height());
    m_bar->raise();
}

void CardView::onClicked(const QModelIndex &index)
{
    if (!m_model || !index.isValid() || !previewRect(index.row()).contains(m_pressPos))
        return;
    const QString name = m_model->nameAt(index.row());
    if (name.isEmpty())
        return;
    m_picked = index.row();
    m_pickedName = name;
    emit selectFont(name);
}

int CardView::menuRow() const
{
    if (!m_model || m_model->rowCount() == 0)
        return -1;
    const QRect sight = viewport()->rect();
    if (m_picked >= 0 && m_model->nameAt(m_picked) == m_pickedName &&
        sight.intersects(visualRect(m_model->index(m_picked))))
        return m_picked;
    if (m_hoverRow >= 0 && m_hoverRow < m_model->rowCount())
        return m_hoverRow;
    const QModelIndex first = indexAt(QPoint(1, 1));
    return first.isValid() ? first.row() : 0;
}

void CardView::requestMenu(QContextMenuEvent *event)
{
    event->accept();
    int row = -1;
    QPoint at;
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QPoint pos = viewport()->mapFromGlobal(event->globalPos());
        const QModelIndex index = indexAt(pos);
        row = index.isValid() ? index.row() : -1;
        at = event->globalPos();
    } else {
        row = menuRow();
        if (row >= 0)
            at = viewport()->mapToGlobal(visualRect(m_model->index(row)).center());
    }
    if (row >= 0 && !m_model->nameAt(row).isEmpty())
        emit menuRequested(row, at);
}

void CardView::requestKeyboardMenu()
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint());
    requestMenu(&event);
}

void CardView::contextMenuEvent(QContextMenuEvent *event)
{
    requestMenu(event);
}

bool CardView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_bar && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent *>(event)->reason() != QContextMenuEvent::Mouse) {
        requestMenu(static_cast<QContextMenuEvent *>(event));
        return true;
    }
    return QListView::eventFilter(watched, event);
}
