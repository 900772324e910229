#include "updater/vantoreldlg.h"

#include "updater/updaterules.h"
#include "updater/vantorelresources.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

VantorelDlg::VantorelDlg(QWidget *parent) : QDialog(parent)
{
    initVantorelResources();
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("VantorelDlg"));
    setFixedSize(1008, 648);
    buildWidgets();

    connect(&m_runner, &UpdateRunner::sigProgressState, this, &VantorelDlg::showProgressState);
    connect(&m_runner, &UpdateRunner::sigStatusText, m_statusLabel, &QLabel::setText);
    connect(&m_runner, &UpdateRunner::sigDoneState, this, &VantorelDlg::showDoneState);
    connect(&m_runner, &UpdateRunner::sigDownProgressed, this, &VantorelDlg::onDownProgressed);
    connect(&m_runner, &UpdateRunner::sigCopyMoved, this, &VantorelDlg::onCopyMoved);
}

void VantorelDlg::buildWidgets()
{
    // The frame leaves room around it for its shadow.
    m_mainFrame = new QFrame(this);
    m_mainFrame->setObjectName(QStringLiteral("mainFrame"));
    m_mainFrame->setGeometry(10, 10, 988, 628);
    m_mainFrame->setStyleSheet(
        QStringLiteral("#mainFrame{background-color:white;border-radius:6px;}"));
    auto *shadow = new QGraphicsDropShadowEffect(m_mainFrame);
    shadow->setBlurRadius(10);
    shadow->setColor(Qt::gray);
    shadow->setOffset(0, 0);
    m_mainFrame->setGraphicsEffect(shadow);

    m_titleLabel = new QLabel(QStringLiteral("Quillora Windows版"), this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setGeometry(30, 15, 300, 40);
    m_titleLabel->setStyleSheet(QStringLiteral("font-size: 16px;\ncolor: #333333;"));

    m_closeButton = new QPushButton(this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setGeometry(960, 20, 18, 18);
    m_closeButton->setStyleSheet(
        QStringLiteral("QPushButton{border-image:url(:/imgs/imgs/close_win.png);}"));
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);

    m_minButton = new QPushButton(this);
    m_minButton->setObjectName(QStringLiteral("minButton"));
    m_minButton->setGeometry(920, 30, 18, 4);
    m_minButton->setStyleSheet(
        QStringLiteral("QPushButton{border-image:url(:/imgs/imgs/min_win.png);}"));
    connect(m_minButton, &QPushButton::clicked, this, &QWidget::showMinimized);

    m_artwork = new QLabel(this);
    m_artwork->setObjectName(QStringLiteral("artwork"));
    m_artwork->setGeometry(304, 110, 400, 380);
    m_artwork->setPixmap(
        QPixmap(QStringLiteral(":/imgs/imgs/update_art.png"))
            .scaled(m_artwork->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    m_doneLabel = new QLabel(QStringLiteral("软件更新完成！"), this);
    m_doneLabel->setObjectName(QStringLiteral("doneLabel"));
    m_doneLabel->setGeometry(440, 530, 120, 25);
    m_doneLabel->setAlignment(Qt::AlignCenter);
    m_doneLabel->setStyleSheet(QStringLiteral("font-size: 14px;\ncolor: #909090;"));

    m_openButton = new QPushButton(QStringLiteral("直接打开"), this);
    m_openButton->setObjectName(QStringLiteral("openButton"));
    m_openButton->setGeometry(440, 570, 120, 36);
    m_openButton->setCursor(Qt::PointingHandCursor);
    m_openButton->setStyleSheet(
        QStringLiteral("QPushButton{border:none;border-radius:18px;color:#FFFFFF;font-size:14px;"
                       "background-color:qlineargradient(spread:pad,x1:0,y1:0,x2:1,y2:0,"
                       "stop:0 #3CACFE,stop:1 #4E6DF9);}"));
    connect(m_openButton, &QPushButton::clicked, this, &VantorelDlg::onClickOpen);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setGeometry(70, 560, 860, 12);
    m_progressBar->setTextVisible(false);
    m_progressBar->setValue(24);
    m_progressBar->setStyleSheet(QStringLiteral(
        "QProgressBar{background-color:#F3F3F3;border:none;border-radius:6px;}\n"
        "QProgressBar::chunk{border-radius:6px;\n"
        "background:qlineargradient(spread:pad,x1:0,y1:0,x2:1,y2:0,stop:0 #CAE8FF,stop:1 "
        "#3CACFE);}"));

    m_statusLabel = new QLabel(QStringLiteral("更新下载中..."), this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setGeometry(70, 580, 261, 25);
    m_statusLabel->setStyleSheet(QStringLiteral("font-size: 14px;\ncolor: #909090;"));

    m_percentLabel = new QLabel(QStringLiteral("60%"), this);
    m_percentLabel->setObjectName(QStringLiteral("percentLabel"));
    m_percentLabel->setGeometry(860, 580, 120, 25);
    m_percentLabel->setAlignment(Qt::AlignCenter);
    m_percentLabel->setStyleSheet(QStringLiteral("font-size: 16px;\ncolor: #909090;"));
}

void VantorelDlg::showProgressState()
{
    m_statusLabel->show();
    m_percentLabel->show();
    m_progressBar->show();
    m_doneLabel->hide();
    m_openButton->hide();
}

void VantorelDlg::showDoneState(bool succeeded)
{
    m_statusLabel->hide();
    m_percentLabel->hide();
    m_progressBar->hide();
    m_doneLabel->setText(succeeded ? QStringLiteral("软件更新完成！")
                                   : QStringLiteral("软件更新失败！"));
    m_doneLabel->show();
    m_openButton->show();
}

void VantorelDlg::onDownProgressed(qint64 received, qint64 total)
{
    const int percent = downloadPercent(received, total);
    m_progressBar->setValue(percent);
    m_percentLabel->setText(QString::number(percent) + QLatin1Char('%'));
}

void VantorelDlg::onCopyMoved(double fraction)
{
    m_progressBar->setValue(copyProgressValue(fraction));
}

void VantorelDlg::onClickOpen()
{
    if (m_runner.openApp())
        close();
}

void VantorelDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && event->localPos().x() > 0 &&
        event->localPos().y() > 0) {
        bDragging = true;
        m_pressX = event->localPos().x();
        m_pressY = event->localPos().y();
    }
    QDialog::mousePressEvent(event);
}

void VantorelDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (bDragging)
        move(qRound(event->screenPos().x() - m_pressX), qRound(event->screenPos().y() - m_pressY));
    QDialog::mouseMoveEvent(event);
}

void VantorelDlg::mouseReleaseEvent(QMouseEvent *event)
{
    bDragging = false;
    QDialog::mouseReleaseEvent(event);
}

void startFromArguments(VantorelDlg &dlg, const QStringList &arguments)
{
    if (arguments.size() > 2) {
        dlg.setAppFile(arguments.at(1));
        dlg.setPackageUrl(arguments.at(2));
    }
}
