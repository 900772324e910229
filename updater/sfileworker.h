#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// Copies a folder tree over another one and reports how far it got.
//
// Progress counts the subfolders directly below the folder given to the outermost
// call: the fraction starts at 0, rises each time one of them is entered and
// reaches 1 with the last; a folder without subfolders reports 1 at once.
class SFileWorker : public QObject
{
    Q_OBJECT

public:
    explicit SFileWorker(QObject *parent = nullptr);

    // Copies every listed entry of `source` into `target` (hidden entries are not
    // listed), creating `target` when missing. With `overwrite`, existing files are
    // replaced; each file is first copied beside its target and only then moved
    // over it. All or nothing: replaced files are kept aside until every copy
    // succeeded; at the first entry that cannot be copied the copy stops, puts
    // them back, removes what it added and returns false.
    bool copyDirectoryFiles(const QString &source, const QString &target, bool overwrite);
    // Called once every file is in place, before the replaced ones are let go, to
    // record that the copy is complete; false undoes the copy as a failure would.
    void setCommitGate(std::function<bool()> gate) { m_commitGate = std::move(gate); }

signals:
    void sigCopyDirStation(double fraction);
    void sigCopyDirOver();

private:
    bool copyLevel(const QString &source, const QString &target, bool overwrite);
    bool copyOneFile(const QString &source, const QString &target, bool overwrite);

    void finish(bool copied);

    // One step of the copy, undone when a later one fails: a file put in place
    // (with where the file it replaced waits), or a folder made.
    struct Change
    {
        QString path;
        QString replaced; // empty when nothing was there
        bool folder = false;
    };
    QList<Change> m_changes;
    std::function<bool()> m_commitGate;
    int m_depth = 0; // 0 in the outermost call, which starts a new count
    double m_total = 0;
    double m_done = 0;
};
