#include "cards/cardmodel.h"

#include <QFileInfo>

CardModel::CardModel(std::function<QString(const QString &)> imagePath, QObject *parent)
    : QAbstractListModel(parent), m_imagePath(std::move(imagePath))
{
}

int CardModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

QVariant CardModel::data(const QModelIndex &index, int role) const
{
    const CardEntry *e = index.isValid() ? entry(index.row()) : nullptr;
    if (!e)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case NameRole:
        return e->name;
    case TextModeRole:
        return e->textMode;
    case FamilyRole:
        return e->family;
    case StyleRole:
        return e->style;
    case AvailableRole:
        return !e->textMode && e->available;
    case LovedRole:
        return !e->textMode && e->loved;
    case BusyRole:
        return m_busy.contains(e->name);
    case ProgressRole:
        return m_progress.value(e->name, 0);
    case ImagePathRole: {
        if (e->textMode || !m_imagePath || m_asked.contains(e->name))
            return QString();
        const QString path = m_imagePath(e->name);
        if (!path.isEmpty() && QFileInfo(path).isFile())
            return path;
        // Ask once; the loader answers with pictureChanged, success or not.
        m_asked.insert(e->name);
        emit previewNeeded(e->name);
        return QString();
    }
    default:
        return {};
    }
}

void CardModel::setEntries(const QVector<CardEntry> &entries)
{
    beginResetModel();
    m_entries.clear();
    m_rows.clear();
    m_rows.reserve(entries.size());
    m_asked.clear();
    m_entries.reserve(entries.size());
    for (const CardEntry &e : entries) {
        if (e.name.isEmpty())
            continue;
        m_rows[e.name].append(m_entries.size());
        m_entries.append(e);
    }
    endResetModel();
}

QVector<CardEntry> CardModel::pictureCards(const QVector<QString> &names,
                                           const std::function<bool(const QString &)> &available,
                                           const std::function<bool(const QString &)> &loved)
{
    QVector<CardEntry> cards;
    cards.reserve(names.size());
    for (const QString &name : names) {
        CardEntry e;
        e.name = name;
        e.available = available && available(name);
        e.loved = loved && loved(name);
        cards.append(e);
    }
    return cards;
}

const CardEntry *CardModel::entry(int row) const
{
    return row >= 0 && row < m_entries.size() ? &m_entries[row] : nullptr;
}

QString CardModel::nameAt(int row) const
{
    const CardEntry *e = entry(row);
    return e ? e->name : QString();
}

int CardModel::firstRow(const QString &name) const
{
    const auto it = m_rows.constFind(name);
    return it == m_rows.constEnd() || it->isEmpty() ? -1 : it->first();
}

void CardModel::changed(int row)
{
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

template <typename F> void CardModel::forRowsOf(const QString &name, F f)
{
    const auto it = m_rows.constFind(name);
    if (it == m_rows.constEnd())
        return;
    for (int row : *it)
        f(row);
}

bool CardModel::setAvailableAt(int row, bool on)
{
    if (row < 0 || row >= m_entries.size() || m_entries[row].textMode)
        return false;
    if (m_entries[row].available != on) {
        m_entries[row].available = on;
        changed(row);
    }
    return true;
}

bool CardModel::setAvailable(const QString &name, bool on)
{
    const auto it = m_rows.constFind(name);
    if (it == m_rows.constEnd())
        return false;
    for (int row : *it)
        if (!m_entries[row].textMode)
            return setAvailableAt(row, on);
    return false;
}

bool CardModel::setLoved(const QString &name, bool on)
{
    const auto it = m_rows.constFind(name);
    if (it == m_rows.constEnd())
        return false;
    for (int row : *it) {
        if (m_entries[row].textMode)
            continue;
        if (m_entries[row].loved != on) {
            m_entries[row].loved = on;
            changed(row);
        }
        return true;
    }
    return false;
}

void CardModel::refreshAvailable(const std::function<bool(const QString &)> &available)
{
    for (int row = 0; row < m_entries.size(); ++row) {
        CardEntry &e = m_entries[row];
        const bool on = !e.textMode && available && available(e.name);
        if (!e.textMode && e.available != on) {
            e.available = on;
            changed(row);
        }
    }
}

void CardModel::refreshLoved(const std::function<bool(const QString &)> &loved)
{
    for (int row = 0; row < m_entries.size(); ++row) {
        CardEntry &e = m_entries[row];
        const bool on = !e.textMode && loved && loved(e.name);
        if (!e.textMode && e.loved != on) {
            e.loved = on;
            changed(row);
        }
    }
}

void CardModel::setBusy(const QString &name, bool busy)
{
    if (name.isEmpty())
        return;
    if (busy)
        m_busy.insert(name);
    else {
        m_busy.remove(name);
        m_progress.remove(name);
    }
    forRowsOf(name, [this](int row) { changed(row); });
}

bool CardModel::setProgress(const QString &name, int percent)
{
    if (name.isEmpty() || percent < 0 || percent > 100)
        return false;
    if (percent == 0)
        m_progress.remove(name);
    else
        m_progress.insert(name, percent);
    forRowsOf(name, [this](int row) { changed(row); });
    return true;
}

void CardModel::clearProgress(const QString &name)
{
    setProgress(name, 0);
}

void CardModel::pictureChanged(const QString &name)
{
    m_asked.remove(name);
    forRowsOf(name, [this](int row) { changed(row); });
}

void CardModel::refreshPictures()
{
    m_asked.clear();
    if (!m_entries.isEmpty())
        emit dataChanged(index(0), index(m_entries.size() - 1), {ImagePathRole});
}

void CardModel::pictureUnreadable(const QString &name) const
{
    if (name.isEmpty() || m_asked.contains(name))
        return;
    m_asked.insert(name);
    emit previewNeeded(name);
}
