// Feeds arbitrary bytes to the service reply readers: both envelope readers, the
// dispatcher for every operation tag, and the catalogue loader. The font manager lives in
// a private HOME under the temporary directory.
#include "service/catalogueloader.h"
#include "fonts/ftmanager.h"
#include "service/replyparser.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// Qt 5.15's JSON parser loses the earlier value of a key that appears twice in an object
// (reproduced with QJsonDocument::fromJson alone), and Qt's frames carry no symbols here,
// so leaks are matched by Qt's module.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt5Core.so\n";
}

namespace {
FtManager *g_manager = nullptr;
CatalogueLoader *g_loader = nullptr;
const int kTags[] = {100, 102, 107, 114, 117, 119, 121, 127, 0};
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    const char *tmp = std::getenv("TMPDIR");
    QByteArray home = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/fuzz_replies.XXXXXX";
    if (!::mkdtemp(home.data()))
        std::abort();
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", home + "/data");
    qputenv("XDG_CONFIG_HOME", home + "/config");
    new QCoreApplication(*argc, *argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillora"));
    g_manager = new FtManager;
    g_manager->initialize();
    g_loader = new CatalogueLoader(*g_manager, *new QNetworkAccessManager);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    parseEnvelope(bytes);
    g_manager->initCloudVec.resize(500);
    g_loader->applyCatalogueReply(bytes);
    g_loader->applyTagReply(bytes);

    // The same payload under every tag the dispatcher stores.
    QJsonObject object = QJsonDocument::fromJson(bytes).object();
    if (!object.isEmpty()) {
        object.insert(QStringLiteral("errcode"), 0);
        for (int tag : kTags) {
            object.insert(QStringLiteral("tag"), QString::number(tag));
            dispatchReply(QJsonDocument(object).toJson(QJsonDocument::Compact), *g_manager);
        }
    }
    dispatchReply(bytes, *g_manager);

    g_manager->cloudFonts.clear();
    g_manager->cloudIndex.clear();
    g_manager->tagGroups.clear();
    g_manager->imageList.clear();
    QFile::remove(g_manager->messagesDir() + QStringLiteral("senderr.log"));
    QFile::remove(g_manager->messagesDir() + QStringLiteral("FontMsg.log"));
    return 0;
}
