#pragma once

#include <QString>

class FtManager;
struct CardEntry;

// What a card's context menu offers, and the font file behind the card. No widgets.
struct CardActions
{
    QString name;
    QString file;              // the font's file on disk, empty when there is none
    bool deactivate = false;   // activated by this program
    bool catalogueOnly = false; // a catalogue font not on disk: details from the catalogue
    bool openFolder() const { return !file.isEmpty(); }
    bool details() const { return !file.isEmpty() || catalogueOnly; }

    // cloudFile: where a catalogue font's file lands in the used folder (may not exist).
    static CardActions of(const FtManager &ft, const CardEntry &card, const QString &cloudFile);
};
