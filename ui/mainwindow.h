#pragma once

#include "ftmanager.h"

#include <QDateTime>
#include <QDialog>

class QKeyEvent;

// The program's one window. Its constructor is the start-up sequence and its
// destructor the shutdown; the work itself lives in widget-free classes.
class MainWindow : public QDialog
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    FtManager &fontManager() { return ftManager; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void logScreenMetrics();

    QDateTime startTime;
    FtManager ftManager;
};
