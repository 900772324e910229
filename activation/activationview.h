#pragma once

#include "activation/officeconsent.h"

#include <QString>

class QObject;

// What the activation flow tells the user: the window implements it over its tray icon
// and dialogs; tests implement it to watch the flow.
class ActivationNotifier
{
public:
    virtual ~ActivationNotifier() = default;

    // A tray balloon with the information icon, shown for 5000 ms.
    virtual void showTrayMessage(const QString &title, const QString &text) = 0;
    // Nobody is signed in: say that the action needs an account and offer the login.
    virtual void openLogin() = 0;
    // Asks whether LibreOffice may be told to accept this program's connections; a
    // notifier that cannot ask leaves the question open.
    virtual OfficeConsent::Answer askOfficeConsent() { return OfficeConsent::NotAsked; }
};

// What the activation flow marks on the font cards: the owner of the card pages
// implements it without widgets.
class CardMarks
{
public:
    virtual ~CardMarks() = default;

    // Busy state of the font's cards in the card grid and the favourites view.
    virtual void setBusy(const QString &name, bool busy) = 0;
    // The activated mark of the card the user picked (card: the page model it was
    // picked on, as passed to the controller).
    virtual void setCardActivated(QObject *card, bool on) = 0;
    // The activated mark of the first grid card of that name, and of its favourites
    // card when the font is a favourite.
    virtual void markActivated(const QString &name, bool on) = 0;
    // Download progress of a font on the page shown; clearProgress resets it to 0.
    virtual void showProgress(const QString &name, int percent) = 0;
    virtual void clearProgress(const QString &name) = 0;
    // Rebuilds the local page from the installed and activated fonts.
    virtual void fillLocalPage() = 0;
    // Re-reads every card's activated mark from the font manager.
    virtual void refreshActivated() = 0;
    // Index of the page shown.
    virtual int currentPageIndex() const = 0;
};
