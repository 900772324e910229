#pragma once

#include "updater/updaterunner.h"

#include <QDialog>
#include <QStringList>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

// The updater's window. The work is done by its UpdateRunner; the window shows
// the progress and the outcome and restarts the main program on request.
class VantorelDlg : public QDialog
{
    Q_OBJECT

public:
    explicit VantorelDlg(QWidget *parent = nullptr);

    UpdateRunner &runner() { return m_runner; }

    void setAppFile(const QString &path) { m_runner.setAppFile(path); }
    void setPackageUrl(const QString &url) { m_runner.setPackageUrl(url); }
    void startUpdate() { m_runner.startUpdate(); }
    bool downloadPackage() { return m_runner.downloadPackage(); }
    bool unpackAndCopy() { return m_runner.unpackAndCopy(); }
    void writeLog(const QString &message, const QString &logFileName)
    {
        m_runner.writeLog(message, logFileName);
    }

    void showProgressState();
    // A failed update keeps the open button, so the program already installed can
    // still be started, but says that the update failed.
    void showDoneState(bool succeeded = true);

public slots:
    void onDownProgressed(qint64 received, qint64 total);
    void onCopyMoved(double fraction);
    void onClickOpen();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void buildWidgets();

    UpdateRunner m_runner;
    QFrame *m_mainFrame = nullptr;
    QLabel *m_titleLabel = nullptr;
    QPushButton *m_minButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_artwork = nullptr;
    QLabel *m_doneLabel = nullptr;
    QPushButton *m_openButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_percentLabel = nullptr;

    bool bDragging = false;
    qreal m_pressX = 0;
    qreal m_pressY = 0;
};

// With the main program's path and the package address (arguments 1 and 2 after
// the program name) the update runs at once; otherwise the window just stays.
void startFromArguments(VantorelDlg &dlg, const QStringList &arguments);
