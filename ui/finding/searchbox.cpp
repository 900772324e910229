#include "finding/searchbox.h"

#include "core/screenmetrics.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

QPushButton *innerButton(const QString &image, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setStyleSheet(
        QStringLiteral("QPushButton{background:transparent;border-image:url(%1);}").arg(image));
    button->setFocusPolicy(Qt::NoFocus);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

int buttonSide()
{
    return qMax(12, int(20 * uiScaleY));
}

} // namespace

SearchBox::SearchBox(QWidget *parent)
    : QLineEdit(parent),
      m_searchBt(innerButton(QStringLiteral(":/images/images/search.png"), this)),
      m_clearBt(innerButton(QStringLiteral(":/images/images/soso_close.png"), this))
{
    setObjectName(QStringLiteral("searchBox"));
    setPlaceholderText(QStringLiteral("搜索"));
    m_searchBt->setObjectName(QStringLiteral("searchBt"));
    m_clearBt->setObjectName(QStringLiteral("clearBt"));
    m_searchBt->setToolTip(QStringLiteral("搜索"));
    m_clearBt->hide();
    connect(m_searchBt, &QPushButton::clicked, this, &SearchBox::onsearch);
    connect(m_clearBt, &QPushButton::clicked, this, &SearchBox::onClearBt);
    connect(this, &QLineEdit::textChanged, this, &SearchBox::onTextChanged);
}

void SearchBox::onsearch(bool)
{
    if (!text().isEmpty())
        emit askSearch();
}

void SearchBox::onClearBt()
{
    emit msgCloseSearch();
}

void SearchBox::onTextChanged(const QString &text)
{
    m_clearBt->setVisible(!text.isEmpty());
}

void SearchBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit askSearch();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SearchBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLineEdit::mouseDoubleClickEvent(event);
    emit doubleClick();
}

void SearchBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    emit loseFocus();
}

void SearchBox::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int side = qMin(buttonSide(), height());
    const int y = (height() - side) / 2;
    const int pad = height() / 3;
    m_searchBt->setGeometry(pad, y, side, side);
    m_clearBt->setGeometry(width() - pad - side, y, side, side);
    setTextMargins(pad + side + 2, 0, pad + side + 2, 0);
}
