#include "window/guideform.h"

#include "widgets/btlabel.h"

#include <QCloseEvent>
#include <QStackedWidget>

namespace {

struct GuideLabel
{
    const char *name;
    const char *picture;
    QRect geometry; // at kDesignHeight
};

// Each page points at a page button near the top and at a control further down, with a
// caption for each; its "iknow" label leads on.
const GuideLabel kPages[3][7] = {
    {{"label", "guidecloud.png", {66, 16, 48, 48}},
     {"lbl_up1", "cloud_up.png", {78, 66, 24, 48}},
     {"lbl_down1", "cloud_down.png", {70, 520, 24, 72}},
     {"lbl_cloud_say", "txt_cloud.png", {40, 118, 200, 48}},
     {"label_7", "myshow.png", {2, 604, 176, 40}},
     {"lbl_show_say", "txt_myshow.png", {20, 468, 200, 48}},
     {"lbl_isee", "iknow.png", {100, 300, 100, 36}}},
    {{"label_2", "guidelove.png", {126, 16, 48, 48}},
     {"lbl_up1_2", "love_up.png", {138, 66, 24, 48}},
     {"lbl_down1_2", "love_down.png", {228, 520, 24, 72}},
     {"lbl_cloud_say_2", "txt_love.png", {80, 118, 200, 48}},
     {"label_8", "fontsize.png", {188, 604, 110, 40}},
     {"lbl_show_say_2", "txt_size.png", {80, 468, 200, 48}},
     {"lbl_isee_2", "iknow.png", {100, 300, 100, 36}}},
    {{"label_3", "guidelocal.png", {186, 16, 48, 48}},
     {"lbl_up1_3", "local_up.png", {198, 66, 24, 48}},
     {"lbl_down1_3", "local_down.png", {138, 276, 24, 60}},
     {"lbl_cloud_say_3", "txt_local.png", {80, 118, 200, 48}},
     {"label_9", "fontset.png", {2, 340, 296, 104}},
     {"lbl_show_say_3", "txt_use.png", {50, 226, 200, 48}},
     {"lbl_isee_3", "iknow.png", {100, 500, 100, 36}}},
};

} // namespace

GuideForm::GuideForm(QWidget *parent) : QWidget(parent), m_pages(new QStackedWidget(this))
{
    setAttribute(Qt::WA_StyledBackground);
    m_pages->setObjectName(QStringLiteral("stackedWidget"));
    m_pages->setFrameShape(QFrame::NoFrame);
    void (GuideForm::*const next[3])() = {&GuideForm::onKnowCloud, &GuideForm::onKnowLove,
                                           &GuideForm::onKnowLocal};
    for (int p = 0; p < 3; ++p) {
        auto *page = new QWidget(m_pages);
        const QString name = QStringLiteral("page_%1").arg(p + 1);
        page->setObjectName(name);
        page->setStyleSheet(QStringLiteral("#%1{background: rgba(0,0,0,0.50);}").arg(name));
        for (const GuideLabel &entry : kPages[p]) {
            const QString file = QLatin1String(entry.picture);
            QLabel *label;
            if (file == QLatin1String("iknow.png")) {
                auto *button = new BtLabel(page);
                button->setCursor(Qt::PointingHandCursor);
                connect(button, &BtLabel::clicked, this, next[p]);
                label = button;
            } else {
                label = new QLabel(page);
            }
            label->setObjectName(QLatin1String(entry.name));
            label->setStyleSheet(QStringLiteral("border-image:url(:/guide/guide/%1);").arg(file));
            label->setGeometry(entry.geometry);
            m_design.append({label, entry.geometry});
        }
        m_pages->addWidget(page);
    }
    m_pages->setCurrentIndex(0);
}

int GuideForm::currentPage() const
{
    return m_pages->currentIndex();
}

void GuideForm::onKnowCloud()
{
    m_pages->setCurrentIndex(1);
}

void GuideForm::onKnowLove()
{
    m_pages->setCurrentIndex(2);
}

void GuideForm::onKnowLocal()
{
    close();
}

void GuideForm::resizeEvent(QResizeEvent *)
{
    if (width() <= 0 || height() <= 0)
        return;
    // The overlay always covers the whole guide; the pictures keep their drawn places.
    m_pages->setGeometry(rect());
    const double f = double(height()) / kDesignHeight;
    for (const auto &child : m_design) {
        const QRect &r = child.second;
        child.first->setGeometry(int(r.x() * f), int(r.y() * f), int(r.width() * f),
                                 int(r.height() * f));
    }
}

void GuideForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closeForm();
}
