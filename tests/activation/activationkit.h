#pragma once

#include "activation/activationview.h"
#include "activation/fontsystem.h"
#include "httpfixture.h"
#include "renamedfont.h"
#include "activation/problemreporter.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <atomic>

class FtManager;

// A naming table with family and PostScript name but no style.
bool writeFontWithoutStyle(const QString &path);

// The event log's texts, time stamps removed; the raw file for lines that hold CR LF.
QStringList eventTexts(const FtManager &ft);
QString rawEventLog(const FtManager &ft);


struct RecordingView : ActivationNotifier, CardMarks
{
    QStringList events; // "tray|title|text", "busy|name|1", "mark|name|1", ...
    QStringList trays() const;
    QElapsedTimer clock;
    qint64 markedAtMs = -1;  // when the activated mark was last set
    qint64 appliedAtMs = -1; // when the last "字体设置" tray message came
    int page = 0;

    RecordingView() { clock.start(); }
    void showTrayMessage(const QString &title, const QString &text) override;
    void openLogin() override { events << "login"; }
    void setBusy(const QString &name, bool busy) override;
    void setCardActivated(QObject *, bool on) override { events << QString("card|%1").arg(on); }
    void markActivated(const QString &name, bool on) override;
    void showProgress(const QString &name, int percent) override;
    void clearProgress(const QString &name) override { events << "clear|" + name; }
    void fillLocalPage() override { events << "fillLocal"; }
    void refreshActivated() override { events << "refresh"; }
    int currentPageIndex() const override { return page; }
    OfficeConsent::Answer consentReply = OfficeConsent::NotAsked;
    int consentAsked = 0;
    OfficeConsent::Answer askOfficeConsent() override
    {
        ++consentAsked;
        return consentReply;
    }
};

struct RecordingReporter : ProblemReporter
{
    QStringList bugs;
    void postBug(const QString &text) override { bugs << text; }
};

// The platform's registration, counted; refuse makes the system say no.
struct CountingFontSystem : FontSystem
{
    std::atomic<int> registered{0};
    std::atomic<int> announced{0};
    bool refuse = false;
    int registerFontFile(const QString &path) override;
    void announceFontChange() override;
};

// Points the engine at the stand-in library answering `code`, its calls logged.
void useStubLibrary(class ActivationEngine &engine, int code, const QString &callLog);
