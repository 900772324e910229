#pragma once

#include "cards/cardactions.h"

#include <QObject>
#include <QPointer>

class ActivationController;
class CardView;
class DetailsDlg;
class FtManager;
class QMenu;
class QWidget;

// The context menu of the cards of a page: the font's details, deactivation of a font
// this program activated, and the folder holding the font's file.
class CardMenu : public QObject
{
    Q_OBJECT

public:
    CardMenu(FtManager &ft, ActivationController &activation, QWidget *window);

    void attach(CardView *view);
    // The menu for a card, filled but not shown (null for a card without a name).
    QMenu *menuFor(CardView *view, int row);
    // Opens the details dialog of a card (not modal); the dialog stays reachable while open.
    DetailsDlg *showDetails(const CardActions &card, const QString &previewText);
    DetailsDlg *openDetails() const;

protected:
    // The menu key pressed while no page holds the keyboard reaches the window.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void popUp(CardView *view, int row, const QPoint &globalPos);

    FtManager &m_ft;
    ActivationController &m_activation;
    QWidget *m_window;
    QPointer<DetailsDlg> m_details;
    QList<CardView *> m_views;
};
