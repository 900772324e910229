#include "account/userdlg.h"

#include "fonts/fontrecords.h"
#include "account/resetpage.h"
#include "widgets/mybt.h"
#include "widgets/mymsgbox.h"
#include "account/usereditdlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using DlgLook::px;

UserDlg::UserDlg(UserRecord &user, const QString &headFile, const Counts &counts, QWidget *parent,
                 bool stayOnTop)
    : FramelessDlg(parent, dialogOptions(stayOnTop)), m_user(user), m_headFile(headFile)
{
    setWindowTitle(QStringLiteral("个人中心"));
    setObjectName(QStringLiteral("UserDlg"));
    QWidget *body = DlgLook::body(this);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, px(28), 0, px(12));
    column->setSpacing(px(6));

    m_head = new QLabel(body);
    m_head->setFixedSize(px(72), px(72));
    column->addWidget(m_head, 0, Qt::AlignHCenter);
    m_nick = new QLabel(user.nick_name.isEmpty() ? user.user : user.nick_name, body);
    m_nick->setAlignment(Qt::AlignCenter);
    QFont big = m_nick->font();
    big.setPixelSize(px(16));
    m_nick->setFont(big);
    m_nick->setStyleSheet(QStringLiteral("color:#333333;"));
    column->addWidget(m_nick);

    auto *counters = new QHBoxLayout;
    counters->setContentsMargins(px(16), px(8), px(16), px(8));
    const int values[] = {counts.used, counts.favourites, counts.groups};
    const QString captions[] = {QStringLiteral("已使用"), QStringLiteral("收藏字体"),
                                QStringLiteral("创建分组")};
    for (int i = 0; i < 3; ++i) {
        auto *cell = new QVBoxLayout;
        m_counters[i] = new QLabel(QString::number(values[i]), body);
        m_counters[i]->setAlignment(Qt::AlignCenter);
        m_counters[i]->setStyleSheet(QStringLiteral("color:#4EC4B8;"));
        QFont number = m_counters[i]->font();
        number.setPixelSize(px(18));
        m_counters[i]->setFont(number);
        auto *label = new QLabel(captions[i], body);
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color:#898989;"));
        cell->addWidget(m_counters[i]);
        cell->addWidget(label);
        counters->addLayout(cell);
        if (i == 2) {
            // Groups cannot be made yet.
            m_counters[i]->setToolTip(QStringLiteral("此功能将在下一版本添加"));
            label->setToolTip(m_counters[i]->toolTip());
        }
    }
    column->addLayout(counters);
    auto *line = new QFrame(body);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color:#EEEEEE;"));
    column->addWidget(line);

    const QString texts[] = {QStringLiteral("个人信息设置"), QStringLiteral("版本信息"),
                             QStringLiteral("修改密码"), QStringLiteral("退出登录")};
    const char *icons[] = {"usr_edit.png", "usr_version.png", "usr_pass.png", "usr_logout.png"};
    for (int i = 0; i < 4; ++i) {
        m_menu[i] = new MyBt(body);
        m_menu[i]->setLabelText(texts[i]);
        m_menu[i]->setPicture(QStringLiteral(":/images/images/") + QLatin1String(icons[i]));
        m_menu[i]->setFixedSize(px(250), px(34));
        m_menu[i]->setAutoDefault(false);
        m_menu[i]->setFocusPolicy(Qt::NoFocus);
        m_menu[i]->setStyleSheet(QStringLiteral("QPushButton{border:none;color:#4D4D4D;}"
                                                "QPushButton:hover{background:#F5F5F5;}"));
        column->addWidget(m_menu[i], 0, Qt::AlignHCenter);
    }
    column->addStretch(1);
    m_msg = new MyMsgBox(body);
    setBody(body, QSize(270, 380));

    connect(m_menu[0], &QPushButton::clicked, this, &UserDlg::onEditUsrMsg);
    connect(m_menu[1], &QPushButton::clicked, this, &UserDlg::onVersionBt);
    connect(m_menu[2], &QPushButton::clicked, this, &UserDlg::onModifyPass);
    connect(m_menu[3], &QPushButton::clicked, this, &UserDlg::onLogout);
    reloadHead();
}

void UserDlg::reloadHead()
{
    QImage head(m_headFile);
    if (head.isNull())
        head.load(QStringLiteral(":/images/images/headimg.png"));
    else
        head = UserEditDlg::roundHead(head, UserEditDlg::kHeadSide);
    m_head->setPixmap(head.isNull() ? QPixmap()
                                    : QPixmap::fromImage(head.scaled(
                                          m_head->size() * devicePixelRatioF(),
                                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void UserDlg::showMessage(const QString &text)
{
    m_msg->showMessage(text, 3000);
    m_msg->raise();
}

QString UserDlg::nickText() const
{
    return m_nick->text();
}

QString UserDlg::counterText(int index) const
{
    return m_counters[index]->text();
}

void UserDlg::onCloseBt()
{
    onCloseForm();
}

void UserDlg::onLogout()
{
    m_loggedOut = true;
    onCloseForm();
}

void UserDlg::onEditUsrMsg()
{
    UserEditDlg edit(m_headFile, this, windowFlags() & Qt::WindowStaysOnTopHint);
    edit.fill(m_user);
    edit.centreOver(frameGeometry());
    edit.exec();
    if (!edit.isSaved())
        return;
    const ProfileForm::Edited e = edit.edited();
    ProfileForm::applyEdit(e, m_user);
    if (e.headChanged)
        reloadHead();
    if (!e.nickName.isEmpty())
        m_nick->setText(e.nickName);
    emit setUserSign();
}

void UserDlg::onModifyPass()
{
    openPasswordResetPage(this);
}

void UserDlg::onVersionBt()
{
    emit versionWanted();
}

void UserDlg::requestUpdate()
{
    m_updateRequested = true;
    onCloseForm();
}
