#include "account/usereditdlg.h"

#include "service/profile.h"
#include "core/userprofile.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTextEdit>
#include <QVBoxLayout>

using DlgLook::px;

namespace {

QSpinBox *spin(QWidget *parent, int low, int high, int value)
{
    auto *box = new QSpinBox(parent);
    box->setRange(low, high);
    box->setValue(value);
    box->setFixedHeight(px(26));
    return box;
}

QLabel *caption(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color:#4D4D4D;"));
    return label;
}

} // namespace

UserEditDlg::UserEditDlg(const QString &headFile, QWidget *parent, bool stayOnTop)
    : FramelessDlg(parent, dialogOptions(stayOnTop) | FadeOut), m_headFile(headFile)
{
    setWindowTitle(QStringLiteral("编辑个人信息"));
    setObjectName(QStringLiteral("UserEditDlg"));
    QWidget *body = DlgLook::body(this);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(px(24), px(16), px(24), px(18));
    column->setSpacing(px(10));
    column->addWidget(DlgLook::heading(QStringLiteral("编辑个人信息"), body, false));

    auto *headRow = new QHBoxLayout;
    m_head = new QLabel(body);
    m_head->setFixedSize(px(72), px(72));
    auto *headBt = new QPushButton(QStringLiteral("修改头像"), body);
    headBt->setStyleSheet(DlgLook::secondaryButton());
    headBt->setFixedSize(px(90), px(28));
    headRow->addWidget(m_head);
    headRow->addSpacing(px(16));
    headRow->addWidget(headBt);
    headRow->addStretch(1);
    column->addLayout(headRow);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(px(8));
    grid->setVerticalSpacing(px(10));
    m_nick = new QLineEdit(body);
    m_nick->setStyleSheet(DlgLook::lineEdit());
    m_nick->setFixedHeight(px(28));
    m_nick->setMaxLength(64);
    grid->addWidget(caption(body, QStringLiteral("昵称：")), 0, 0);
    grid->addWidget(m_nick, 0, 1);

    m_sex = new QButtonGroup(this);
    auto *sexRow = new QHBoxLayout;
    const QString sexNames[] = {QStringLiteral("女"), QStringLiteral("男"), QStringLiteral("保密")};
    for (int id = 0; id < 3; ++id) {
        auto *button = new QRadioButton(sexNames[id], body);
        m_sex->addButton(button, id);
        sexRow->addWidget(button);
    }
    sexRow->addStretch(1);
    grid->addWidget(caption(body, QStringLiteral("性别：")), 1, 0);
    grid->addLayout(sexRow, 1, 1);

    m_year = spin(body, 1850, 2050, 1990);
    m_month = spin(body, 1, 12, 1);
    m_day = spin(body, 1, 31, 1);
    auto *dateRow = new QHBoxLayout;
    for (QSpinBox *box : {m_year, m_month, m_day}) {
        dateRow->addWidget(box);
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] {
            if (!m_filling)
                m_birthdayTouched = true;
        });
    }
    dateRow->addStretch(1);
    grid->addWidget(caption(body, QStringLiteral("生日：")), 2, 0);
    grid->addLayout(dateRow, 2, 1);

    m_intro = new QTextEdit(body);
    m_intro->setAcceptRichText(false);
    m_intro->setFixedHeight(px(64));
    m_intro->setStyleSheet(
        QStringLiteral("QTextEdit{border:1px solid #E0E0E0;border-radius:%1px;}").arg(px(4)));
    grid->addWidget(caption(body, QStringLiteral("介绍：")), 3, 0, Qt::AlignTop);
    grid->addWidget(m_intro, 3, 1);

    m_province = new QComboBox(body);
    m_city = new QComboBox(body);
    m_province->addItems(ProfileForm::provinceNames());
    m_city->addItems(ProfileForm::cities(m_province->itemText(0)));
    auto *placeRow = new QHBoxLayout;
    placeRow->addWidget(m_province, 1);
    placeRow->addWidget(m_city, 1);
    grid->addWidget(caption(body, QStringLiteral("省市：")), 4, 0);
    grid->addLayout(placeRow, 4, 1);
    column->addLayout(grid);

    m_note = new QLabel(body);
    m_note->setStyleSheet(QStringLiteral("color:#E05050;"));
    column->addWidget(m_note);
    column->addStretch(1);
    auto *buttons = new QHBoxLayout;
    auto *cancel = new QPushButton(QStringLiteral("取消"), body);
    auto *save = new QPushButton(QStringLiteral("保存"), body);
    cancel->setStyleSheet(DlgLook::secondaryButton());
    save->setStyleSheet(DlgLook::primaryButton());
    buttons->addStretch(1);
    for (QPushButton *b : {cancel, save}) {
        b->setFixedSize(px(90), px(32));
        b->setAutoDefault(false);
        b->setCursor(Qt::PointingHandCursor);
        buttons->addWidget(b);
    }
    column->addLayout(buttons);
    setBody(body, QSize(340, 420));

    connect(headBt, &QPushButton::clicked, this, &UserEditDlg::onSetHeadImg);
    connect(cancel, &QPushButton::clicked, this, &UserEditDlg::onCloseBt);
    connect(save, &QPushButton::clicked, this, &UserEditDlg::onSave);
    connect(m_province, &QComboBox::currentTextChanged, this, &UserEditDlg::onProvinceChanged);
    showHead(QImage());
}

void UserEditDlg::fill(const UserProfile &profile)
{
    m_filling = true;
    m_nick->setText(profile.nick_name);
    m_intro->setPlainText(profile.introduce);
    if (QAbstractButton *button = m_sex->button(profile.sex))
        button->setChecked(true);
    ProfileForm::Birthday b;
    if (ProfileForm::parseBirthday(profile.birthday, &b)) {
        m_year->setValue(b.year);
        m_month->setValue(b.month);
        m_day->setValue(b.day);
    }
    if (ProfileForm::hasProvince(profile.province)) {
        m_province->setCurrentText(profile.province);
        m_city->setCurrentText(profile.city);
    }
    m_filling = false;
    showHead(QImage());
}

ProfileForm::Edited UserEditDlg::edited() const
{
    ProfileForm::Edited e;
    e.nickName = m_nick->text();
    e.introduce = m_intro->toPlainText();
    e.sexButton = m_sex->checkedId();
    e.birthday = {m_year->value(), m_month->value(), m_day->value()};
    e.birthdayTouched = m_birthdayTouched;
    e.province = m_province->currentText();
    e.city = m_city->currentText();
    e.headChanged = m_headChanged;
    return e;
}

QImage UserEditDlg::roundHead(const QImage &source, int side)
{
    if (source.isNull() || side <= 0)
        return QImage();
    QImage out(side, side, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage mask(QStringLiteral(":/images/images/mask.png"));
    if (mask.isNull()) {
        QPainterPath circle;
        circle.addEllipse(QRectF(0, 0, side, side));
        painter.setClipPath(circle);
    }
    painter.drawImage(QRect(0, 0, side, side), source);
    if (!mask.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(QRect(0, 0, side, side), mask);
    }
    return out;
}

void UserEditDlg::showHead(const QImage &image)
{
    QImage shown = image;
    if (shown.isNull())
        shown.load(m_headFile);
    if (shown.isNull())
        shown.load(QStringLiteral(":/images/images/headimg.png"));
    m_head->setPixmap(shown.isNull() ? QPixmap()
                                     : QPixmap::fromImage(shown.scaled(
                                           m_head->size() * devicePixelRatioF(),
                                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

bool UserEditDlg::takeHeadImage(const QString &file)
{
    QFile in(file);
    const QImage picture = in.open(QIODevice::ReadOnly)
                               ? Profile::readCappedImage(in.read(Profile::kMaxHeadBytes + 1))
                               : QImage();
    if (picture.isNull()) {
        m_lastMessage = QStringLiteral("无法读取这张图片（最大2MB，边长不超过4096像素）");
        m_note->setText(m_lastMessage);
        return false;
    }
    m_note->clear();
    m_newHead = roundHead(picture, kHeadSide);
    m_headChanged = true;
    showHead(m_newHead);
    return true;
}

void UserEditDlg::onSetHeadImg()
{
    QFileDialog dialog(this, QStringLiteral("选择头像"),
                       QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                       QStringLiteral("Images(*.png *.jpg *.jpeg *.bmp)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::List);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        takeHeadImage(dialog.selectedFiles().constFirst());
}

void UserEditDlg::onSave()
{
    if (m_headChanged && !m_newHead.save(m_headFile)) {
        m_lastMessage = QStringLiteral("头像无法保存");
        m_note->setText(m_lastMessage);
        return;
    }
    m_saved = true;
    closeAnimated(QDialog::Accepted);
}

void UserEditDlg::onCloseBt()
{
    onCloseForm();
}

void UserEditDlg::onProvinceChanged(const QString &currProvince)
{
    if (!ProfileForm::hasProvince(currProvince))
        return;
    m_city->clear();
    m_city->addItems(ProfileForm::cities(currProvince));
}
