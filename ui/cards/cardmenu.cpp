#include "cards/cardmenu.h"

#include "activation/activationcontroller.h"
#include "cards/cardmodel.h"
#include "cards/cardview.h"
#include "details/detailsdlg.h"
#include "fonts/ftmanager.h"
#include "widgets/framelessdlg.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

CardMenu::CardMenu(FtManager &ft, ActivationController &activation, QWidget *window)
    : QObject(window), m_ft(ft), m_activation(activation), m_window(window)
{
    connect(&m_activation, &ActivationController::fontFetched, this,
            [this](const QString &name, const QString &path) {
                if (m_details &&
                    m_details->fontName() == name)
                    m_details->showFile(path);
            });
    connect(&m_activation.downloads(), &DownloadManager::downloadFailed, this,
            [this](const QString &name) {
                if (m_details && m_details->fontName() == name)
                    m_details->downloadFailed();
            });
}

void CardMenu::attach(CardView *view)
{
    if (m_views.isEmpty() && m_window)
        m_window->installEventFilter(this);
    m_views.append(view);
    connect(view, &CardView::menuRequested, this,
            [this, view](int row, const QPoint &at) { popUp(view, row, at); });
}

bool CardMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        for (CardView *view : qAsConst(m_views)) {
            if (view->isVisible()) {
                view->requestKeyboardMenu();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

QMenu *CardMenu::menuFor(CardView *view, int row)
{
    const CardEntry *entry = view->cardModel() ? view->cardModel()->entry(row) : nullptr;
    if (!entry || entry->name.isEmpty())
        return nullptr;
    const CardActions card =
        CardActions::of(m_ft, *entry, m_activation.cloudFontFile(entry->name));
    auto *menu = new QMenu(view);
    menu->setObjectName(QStringLiteral("cardMenu"));
    // Sized like the dialogs' text for the screen's scale, and readable on small screens.
    QFont font = menu->font();
    font.setPixelSize(qMax(12, DlgLook::px(13)));
    menu->setFont(font);
    menu->setStyleSheet(
        QStringLiteral("QMenu{background:white;border:1px solid #E0E0E0;padding:%1px 0;}"
                       "QMenu::item{color:#333333;padding:%1px %2px;}"
                       "QMenu::item:selected{background:#DFF4F1;}"
                       "QMenu::item:disabled{color:#BBBBBB;}")
            .arg(qMax(4, DlgLook::px(5)))
            .arg(qMax(14, DlgLook::px(18))));
    QAction *details = menu->addAction(QStringLiteral("字体信息"));
    details->setEnabled(card.details());
    const QString previewText = view->previewText();
    connect(details, &QAction::triggered, this,
            [this, card, previewText] { showDetails(card, previewText); });
    if (card.deactivate) {
        QAction *off = menu->addAction(QStringLiteral("停用"));
        const QString name = card.name;
        connect(off, &QAction::triggered, this, [this, name] { m_activation.deactivateFont(name); });
    }
    QAction *folder = menu->addAction(QStringLiteral("打开所在文件夹"));
    folder->setEnabled(card.openFolder());
    const QString dir = QFileInfo(card.file).absolutePath();
    connect(folder, &QAction::triggered, this,
            [dir] { QDesktopServices::openUrl(QUrl::fromLocalFile(dir)); });
    return menu;
}

void CardMenu::popUp(CardView *view, int row, const QPoint &globalPos)
{
    QMenu *menu = menuFor(view, row);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

DetailsDlg *CardMenu::showDetails(const CardActions &card, const QString &previewText)
{
    if (m_details)
        m_details->close();
    auto *dlg = new DetailsDlg(m_window, card, m_ft.cloudFont(card.name), previewText);
    connect(dlg, &QDialog::finished, dlg, &QObject::deleteLater);
    connect(dlg, &DetailsDlg::downloadRequested, this, [this, dlg](const QString &name) {
        if (!m_activation.fetchFont(name))
            dlg->downloadFailed();
    });
    dlg->centreOver(m_window ? m_window->frameGeometry() : QRect());
    m_details = dlg;
    dlg->show();
    return dlg;
}

DetailsDlg *CardMenu::openDetails() const
{
    return m_details;
}
