#pragma once

#include "activation/officeconsent.h"
#include "widgets/framelessdlg.h"

// The one-time question whether LibreOffice may be told to accept this program's
// connections. Closing it without a choice leaves the question open.
class OfficeConsentDlg : public FramelessDlg
{
    Q_OBJECT

public:
    explicit OfficeConsentDlg(QWidget *parent = nullptr);
    OfficeConsent::Answer answer() const { return m_answer; }

    // Shows the dialog over parent and returns the user's choice.
    static OfficeConsent::Answer ask(QWidget *parent);

private:
    void choose(OfficeConsent::Answer answer);

    OfficeConsent::Answer m_answer = OfficeConsent::NotAsked;
};
