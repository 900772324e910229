#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

struct UserProfile;

// What the profile editor offers and how it reads and writes the record's texts, without
// its widgets.
namespace ProfileForm {

// The provinces in the order the editor lists them, each with its cities or districts.
// 香港 and 澳门 have one empty city.
const QVector<QPair<QString, QStringList>> &provinces();
QStringList provinceNames();
// Empty (no entry at all) for a province not in the table.
QStringList cities(const QString &province);
bool hasProvince(const QString &province);

struct Birthday
{
    int year = 1990;
    int month = 1;
    int day = 1;
};
// "1990-5-7": exactly three integer parts; false (and b untouched) otherwise.
bool parseBirthday(const QString &text, Birthday *b);
QString birthdayText(const Birthday &b);

// The values the editor hands back when saved.
struct Edited
{
    QString nickName;
    QString introduce;
    int sexButton = -1; // checked button id, -1 when none
    Birthday birthday;
    bool birthdayTouched = false; // the user changed one of the spin boxes
    QString province;
    QString city;
    bool headChanged = false;
};

// Copies a saved edit into the record. No sex button keeps the stored sex; a birthday
// the user did not set is not made up (an unreadable stored one becomes empty); a new head image
// waits to be uploaded until the service took it, whatever later saves say.
void applyEdit(const Edited &edit, UserProfile &profile);

} // namespace ProfileForm
