#pragma once

#include <QString>

class ActivationView;

// Whether the program may open LibreOffice's connection for the user's own programs, and
// doing so. LibreOffice listens only when told to; the user is asked the first time a pick
// finds it not listening, and the answer is kept in a file of the program's own. The
// user's LibreOffice profile is never written: a running LibreOffice is told to open the
// pipe until it exits (it would overwrite a profile changed under it anyway), and each
// later session is told again at its first pick, without asking again.
class OfficeConsent
{
public:
    enum Answer { NotAsked, Allowed, Declined };

    // file: where the answer is kept; empty keeps nothing (asked at every pick).
    explicit OfficeConsent(const QString &file = QString()) : m_file(file) {}
    void setFile(const QString &file) { m_file = file; }

    Answer answer() const;
    void setAnswer(Answer answer);

    // The codes that say Writer or Impress is there but its connection is closed.
    static bool isOfficeUnreachable(int code) { return code == 3 || code == 7; }

    // After a pick answered code: asks the view when nobody has answered yet, then true
    // when connections may be opened. A question closed without an answer is asked again.
    bool mayConnect(int code, ActivationView &view);

    // Tells the running LibreOffice to accept this program's connections until it exits;
    // true when the suite took the request.
    bool switchOn() const;
    // The suite's launcher, looked up in PATH.
    void setLauncher(const QString &program) { m_launcher = program; }

private:
    QString m_file;
    QString m_launcher = QStringLiteral("soffice");
};
