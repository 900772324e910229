#include "finding/mlineedit.h"

#include "core/screenmetrics.h"

#include <QKeyEvent>
#include <QPushButton>

MLineEdit::MLineEdit(QWidget *parent) : QLineEdit(parent), m_dropBt(new QPushButton(this))
{
    setObjectName(QStringLiteral("ftTextEdt"));
    setPlaceholderText(QStringLiteral("自定义文字…"));
    m_dropBt->setObjectName(QStringLiteral("dropBt"));
    m_dropBt->setStyleSheet(QStringLiteral(
        "QPushButton{background:transparent;border-image:url(:/images/images/pulldown.png);}"));
    m_dropBt->setFocusPolicy(Qt::NoFocus);
    m_dropBt->setFlat(true);
    m_dropBt->setAutoDefault(false);
    m_dropBt->setCursor(Qt::PointingHandCursor);
    connect(m_dropBt, &QPushButton::clicked, this, &MLineEdit::onDrop);
    connect(this, &QLineEdit::textEdited, this, [this] { m_edited = true; });
}

void MLineEdit::showLabel(const QString &text)
{
    setText(text);
    m_edited = false;
}

void MLineEdit::onDrop()
{
    emit dropMenu();
}

void MLineEdit::finishEdit()
{
    if (!m_edited)
        return;
    m_edited = false;
    emit editDone();
}

void MLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        finishEdit();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void MLineEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    finishEdit();
    emit loseFocus();
}

void MLineEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int side = qMin(qMax(8, int(10 * uiScaleY)), height());
    const int pad = height() / 2 - side / 2 + 2;
    m_dropBt->setGeometry(width() - pad - side, (height() - side) / 2, side, side);
    setTextMargins(height() / 3, 0, pad + side + 2, 0);
}
