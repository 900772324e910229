#pragma once

#include "widgets/framelessdlg.h"
#include "account/profileform.h"

#include <QImage>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTextEdit;
struct UserProfile;

// The profile editor. Filled by fill(), run with exec(); when isSaved() the opener takes
// edited() and, with headChanged(), the new head image from the head image file.
class UserEditDlg : public FramelessDlg
{
    Q_OBJECT

public:
    static constexpr int kHeadSide = 200; // pixels of the head image that is kept

    explicit UserEditDlg(const QString &headFile, QWidget *parent = nullptr, bool stayOnTop = true);

    // The nick name field starts from the stored nick name, empty when there is none.
    void fill(const UserProfile &profile);
    bool isSaved() const { return m_saved; }
    bool headChanged() const { return m_headChanged; }
    ProfileForm::Edited edited() const;

    // The picture cut round, at side x side pixels; null for a null source.
    static QImage roundHead(const QImage &source, int side);
    // Takes a picture file as the new head image; false (nothing changed) when it is none.
    bool takeHeadImage(const QString &file);
    QComboBox *provinceBox() const { return m_province; }
    QComboBox *cityBox() const { return m_city; }
    QSpinBox *yearBox() const { return m_year; }
    QButtonGroup *sexButtons() const { return m_sex; }
    QString lastMessage() const { return m_lastMessage; }

public slots:
    void onCloseBt();
    void onSetHeadImg();
    void onSave();
    void onProvinceChanged(const QString &currProvince);

private:
    void showHead(const QImage &image);

    QString m_headFile;
    QLineEdit *m_nick;
    QButtonGroup *m_sex;
    QSpinBox *m_year;
    QSpinBox *m_month;
    QSpinBox *m_day;
    QTextEdit *m_intro;
    QComboBox *m_province;
    QComboBox *m_city;
    QLabel *m_head;
    QLabel *m_note;
    QImage m_newHead;
    QString m_lastMessage;
    bool m_saved = false;
    bool m_headChanged = false;
    bool m_birthdayTouched = false;
    bool m_filling = false;
};
