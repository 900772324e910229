#include "activationkit.h"

#include "activation/activationengine.h"
#include "fonts/ftmanager.h"
#include "sfntbuilder.h"
#include "testfiles.h"

#include <QFile>
#include <QRegularExpression>

bool writeFontWithoutStyle(const QString &path)
{
    return SfntBuilder()
        .addWindows(SfntBuilder::English, 1, "No Style")
        .addWindows(SfntBuilder::English, 6, "NoStyle")
        .write(path);
}

QString rawEventLog(const FtManager &ft)
{
    return fileText(ft.messagesDir() + "FontMsg.log");
}

QStringList eventTexts(const FtManager &ft)
{
    static const QRegularExpression stamp(
        "  \\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$");
    QStringList texts = rawEventLog(ft).split("\r\n", Qt::SkipEmptyParts);
    for (QString &text : texts)
        text.remove(stamp);
    return texts;
}

QStringList RecordingView::trays() const
{
    return events.filter(QRegularExpression("^tray\\|"));
}

void RecordingView::showTrayMessage(const QString &title, const QString &text)
{
    events << "tray|" + title + "|" + text;
    if (title == QStringLiteral("字体设置"))
        appliedAtMs = clock.elapsed();
}

void RecordingView::setBusy(const QString &name, bool busy)
{
    events << QString("busy|%1|%2").arg(name).arg(busy);
}

void RecordingView::markActivated(const QString &name, bool on)
{
    events << QString("mark|%1|%2").arg(name).arg(on);
    markedAtMs = clock.elapsed();
}

void RecordingView::showProgress(const QString &name, int percent)
{
    events << QString("progress|%1|%2").arg(name).arg(percent);
}

int CountingFontSystem::registerFontFile(const QString &path)
{
    ++registered;
    return refuse ? 0 : FontSystem::registerFontFile(path);
}

void CountingFontSystem::announceFontChange()
{
    ++announced;
    FontSystem::announceFontChange();
}

void useStubLibrary(ActivationEngine &engine, int code, const QString &callLog)
{
    qputenv("SORVANE_STUB_CODE", QByteArray::number(code));
    qputenv("SORVANE_STUB_LOG", QFile::encodeName(callLog));
    engine.setLibraryDir(SORVANE_STUB_DIR);
}
