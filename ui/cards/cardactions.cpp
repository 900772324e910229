#include "cards/cardactions.h"

#include "cards/cardmodel.h"
#include "fonts/fontdetails.h"
#include "fonts/ftmanager.h"

#include <QFileInfo>

CardActions CardActions::of(const FtManager &ft, const CardEntry &card, const QString &cloudFile)
{
    CardActions a;
    a.name = card.name;
    if (card.name.isEmpty())
        return a;
    const LocalFont *installed = ft.installedFont(card.name);
    if (card.textMode) {
        a.file = installed ? FontDetails::installedFile(installed->psName, installed->familyName,
                                                        installed->styleName)
                           : FontDetails::installedFile(QString(), card.family, card.style);
    } else if (ft.isActivated(card.name)) {
        a.deactivate = true;
        a.file = ft.downlist.value(card.name);
    } else if (installed) {
        a.file = FontDetails::installedFile(installed->psName, installed->familyName,
                                            installed->styleName);
    } else if (ft.cloudFont(card.name) && !cloudFile.isEmpty() && QFileInfo(cloudFile).isFile()) {
        a.file = cloudFile;
    }
    if (!a.file.isEmpty() && !QFileInfo(a.file).isFile())
        a.file.clear();
    a.catalogueOnly = a.file.isEmpty() && ft.cloudFont(card.name).has_value();
    return a;
}
