#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVarLengthArray>
#include <QVector>

#include <functional>

// One font card: what the grid shows for a font. Cloud cards and the local page's
// activated fonts show a preview picture; installed fonts are drawn as text in their
// own font (text mode), which never shows the favourite or the activated mark.
struct CardEntry
{
    QString name;
    bool textMode = false;
    QString family; // text mode: the font to draw the name in
    QString style;
    bool available = false; // usable on this machine: the green dot
    bool loved = false;
    bool busy = false;
    int progress = 0; // download percentage, 0 when none
};

// The cards of one page as a list model, so that a list view only paints the rows it
// shows whatever the number of fonts. Holds the rules of what a card shows; knows
// nothing of widgets. Names are keys: several rows may carry one name (the local page
// lists an activated font and an installed file of the same name), and operations that
// touch "the card of a name" touch its first row unless they say otherwise.
class CardModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        TextModeRole,
        FamilyRole,
        StyleRole,
        AvailableRole, // false in text mode
        LovedRole,     // false in text mode
        BusyRole,
        ProgressRole,
        ImagePathRole, // cached picture, empty while there is none (text mode: always)
    };

    // imagePath: where a font's picture is cached (the file may not exist yet).
    explicit CardModel(std::function<QString(const QString &)> imagePath = {},
                       QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Replaces every card. Empty names are placeholders of unfilled positions and are
    // left out. Busy names and download progress carry over to the new cards; pictures
    // that could not be had so far are asked for again.
    void setEntries(const QVector<CardEntry> &entries);
    // Picture cards for the names, marks from the two tests (either may be empty).
    static QVector<CardEntry> pictureCards(const QVector<QString> &names,
                                           const std::function<bool(const QString &)> &available,
                                           const std::function<bool(const QString &)> &loved);

    const CardEntry *entry(int row) const;
    QString nameAt(int row) const;
    int firstRow(const QString &name) const; // -1 when no card has the name
    int count() const { return m_entries.size(); }

    // The activated mark of the first picture card of the name. False when none.
    bool setAvailable(const QString &name, bool on);
    bool setAvailableAt(int row, bool on);
    bool setLoved(const QString &name, bool on);
    // Re-reads every picture card's marks.
    void refreshAvailable(const std::function<bool(const QString &)> &available);
    void refreshLoved(const std::function<bool(const QString &)> &loved);

    // Busy and progress apply to every card of the name; a percentage outside 0 to 100
    // is ignored. Clearing busy also clears the progress.
    void setBusy(const QString &name, bool busy);
    bool setProgress(const QString &name, int percent);
    void clearProgress(const QString &name);
    bool isBusy(const QString &name) const { return m_busy.contains(name); }
    bool hasBusy() const { return !m_busy.isEmpty(); }

    // The picture of the name has arrived (or changed): repaint its cards.
    void pictureChanged(const QString &name);
    // No picture this time: the next time a card of the name is drawn asks again.
    void pictureFailed(const QString &name) { m_asked.remove(name); }
    // The cached file of the name did not load: ask for it (once, as for a missing one).
    void pictureUnreadable(const QString &name) const;

signals:
    // A picture card was asked for its picture and none is cached. Once per name until
    // pictureChanged or forgetPictureRequests.
    void previewNeeded(const QString &name) const;

public:
    void forgetPictureRequests() { m_asked.clear(); }
    // The preview kind changed: picture cards look for their pictures again.
    void refreshPictures();

private:
    void changed(int row);
    template <typename F> void forRowsOf(const QString &name, F f);

    std::function<QString(const QString &)> m_imagePath;
    QVector<CardEntry> m_entries;
    // name -> its rows, ascending; one row is held inline, so a refill of thousands of
    // cards allocates no list per name.
    QHash<QString, QVarLengthArray<int, 1>> m_rows;
    QSet<QString> m_busy;
    QHash<QString, int> m_progress;
    mutable QSet<QString> m_asked;
};
