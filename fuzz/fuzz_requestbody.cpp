// Feeds arbitrary bytes to the development service's body reader, then checks that a body
// the client's signer builds from entries derived from the same bytes reads back to exactly
// those entries. Only keys of the operation are used, in the operation's order, as the
// client sends them: with unknown keys, or with keys out of order, a raw body can be read
// two ways that sign alike ("a=&b=1" after an empty "a" is also "a" holding "&b=1"), and
// the reader takes the way that holds for the client.
#include "devserver/formbody.h"
#include "service/signing.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    SignedForm::peekTag(bytes);
    const SignedForm form = SignedForm::parse(bytes);
    if (form.isValid() && form.tag() <= 0)
        std::abort();

    // Lines "key=value" after a first line with the tag number.
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    const int tag = lines.first().toInt();
    const QList<QString> &known = protocolKeys(tag);
    if (known.isEmpty() || lines.size() > 20)
        return 0;
    QStringList params = {QStringLiteral("tag=%1").arg(tag)};
    QSet<QString> keys = {QStringLiteral("tag")};
    for (int i = 1; i < lines.size(); ++i) {
        const int eq = lines.at(i).indexOf(QLatin1Char('='));
        const QString key = lines.at(i).left(eq);
        if (eq < 0 || !known.contains(key) || keys.contains(key) ||
            key == QLatin1String("secret") || key == QLatin1String("head"))
            return 0;
        keys.insert(key);
        params.append(lines.at(i));
    }
    std::stable_sort(params.begin() + 1, params.end(), [&known](const QString &a, const QString &b) {
        return known.indexOf(a.left(a.indexOf(QLatin1Char('=')))) <
               known.indexOf(b.left(b.indexOf(QLatin1Char('='))));
    });
    const SignedForm back = SignedForm::parse(signParams(params).toUtf8());
    if (!back.isValid() || back.entries().size() != params.size())
        std::abort();
    for (int i = 0; i < params.size(); ++i) {
        const auto &kv = back.entries().at(i);
        if (kv.first + QLatin1Char('=') + kv.second != params.at(i))
            std::abort();
    }
    return 0;
}
