#include "activationkit.h"

#include "activationengine.h"
#include "ftmanager.h"
#include "sfntbuilder.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {
const QString kSourceFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

QByteArray utf16be(const QString &s)
{
    QByteArray out;
    for (QChar c : s)
        out.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
    return out;
}
} // namespace

bool haveRealFont()
{
    return QFile::exists(kSourceFont);
}

bool writeRenamedFont(const QString &path, const QString &family)
{
    const QString from = "DejaVu Sans";
    QFile in(kSourceFont);
    if (family.size() != from.size() || !in.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = in.readAll();
    data.replace(from.toLatin1(), family.toLatin1());
    data.replace(utf16be(from), utf16be(family));
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

bool writeFontWithoutStyle(const QString &path)
{
    return SfntBuilder()
        .addWindows(SfntBuilder::English, 1, "No Style")
        .addWindows(SfntBuilder::English, 6, "NoStyle")
        .write(path);
}

QString rawEventLog(const FtManager &ft)
{
    QFile log(ft.messagesDir() + "FontMsg.log");
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
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

QString fcMatch(const QString &family)
{
    QProcess fc;
    fc.start("fc-match", {"-f", "%{family}|%{file}", family});
    fc.waitForFinished(60000);
    return QString::fromUtf8(fc.readAllStandardOutput());
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

HttpFixture::HttpFixture()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost);
}

QUrl HttpFixture::url(const QString &encodedPath) const
{
    return QUrl(QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(encodedPath));
}

void HttpFixture::onReadyRead(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    const QString path = QString::fromLatin1(request.split(' ').value(1));
    ++m_hits[path];
    const Route route = m_routes.value(path, Route{404, "<html>not found</html>"});
    if (route.hold)
        m_held.append({socket, route});
    else
        answer(socket, route);
}

void HttpFixture::answer(QTcpSocket *socket, const Route &route)
{
    if (route.drop) {
        socket->abort();
        return;
    }
    socket->write(QString("HTTP/1.1 %1 X\r\nContent-Type: application/zip\r\nContent-Length: "
                          "%2\r\nConnection: close\r\n\r\n")
                      .arg(route.status)
                      .arg(route.body.size())
                      .toLatin1() +
                  route.body);
    socket->disconnectFromHost();
}

void HttpFixture::release()
{
    const auto held = m_held;
    m_held.clear();
    for (const auto &entry : held) {
        if (entry.first)
            answer(entry.first, entry.second);
    }
}
