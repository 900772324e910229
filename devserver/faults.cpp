#include "devserver/faults.h"

#include <QStringList>

namespace {

bool readCount(const QString &text, int min, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < min)
        return false;
    *out = value;
    return true;
}

} // namespace

bool parseFaultRule(const QString &text, FaultRule *rule, QString *error)
{
    // Actions never hold ':', so a path prefix may.
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        *error = QStringLiteral("expected TARGET:ACTION");
        return false;
    }
    FaultRule result;
    result.text = text;
    const QString target = text.left(colon);
    if (target.startsWith(QLatin1String("tag="))) {
        if (!readCount(target.mid(4), 1, &result.tag)) {
            *error = QStringLiteral("tag wants a positive number");
            return false;
        }
    } else if (target.startsWith(QLatin1String("path="))) {
        result.pathPrefix = target.mid(5);
        if (!result.pathPrefix.startsWith(QLatin1Char('/'))) {
            *error = QStringLiteral("path must start with /");
            return false;
        }
    } else {
        *error = QStringLiteral("target must be tag=N or path=PREFIX");
        return false;
    }

    const QStringList actions = text.mid(colon + 1).split(QLatin1Char(','));
    for (const QString &item : actions) {
        const int eq = item.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? item : item.left(eq);
        const QString value = eq < 0 ? QString() : item.mid(eq + 1);
        auto setAction = [&](FaultRule::Action action) {
            if (result.action != FaultRule::Action::None) {
                *error = QStringLiteral("only one of drop, empty, nonjson, errcode");
                return false;
            }
            result.action = action;
            return true;
        };
        if (key == QLatin1String("delay") && eq >= 0) {
            if (!readCount(value, 0, &result.delayMs)) {
                *error = QStringLiteral("delay wants milliseconds");
                return false;
            }
        } else if (key == QLatin1String("times") && eq >= 0) {
            if (!readCount(value, 1, &result.times)) {
                *error = QStringLiteral("times wants a positive number");
                return false;
            }
        } else if (key == QLatin1String("errcode") && eq >= 0) {
            bool ok = false;
            result.errcode = value.toInt(&ok, 10);
            if (!ok || result.errcode == 0) {
                *error = QStringLiteral("errcode wants a non-zero number");
                return false;
            }
            if (!setAction(FaultRule::Action::ErrCode))
                return false;
        } else if (item == QLatin1String("drop")) {
            if (!setAction(FaultRule::Action::Drop))
                return false;
        } else if (item == QLatin1String("empty")) {
            if (!setAction(FaultRule::Action::Empty))
                return false;
        } else if (item == QLatin1String("nonjson")) {
            if (!setAction(FaultRule::Action::NonJson))
                return false;
        } else {
            *error = QStringLiteral("unknown action: %1").arg(item);
            return false;
        }
    }
    if (result.action == FaultRule::Action::None && result.delayMs == 0) {
        *error = QStringLiteral("nothing to do");
        return false;
    }
    *rule = result;
    return true;
}

FaultInjector::FaultInjector(const QList<FaultRule> &rules) : m_rules(rules) {}

bool FaultInjector::take(const QString &path, int tag, FaultRule *out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (FaultRule &rule : m_rules) {
        if (rule.times == 0)
            continue;
        const bool matches = rule.tag > 0 ? rule.tag == tag : path.startsWith(rule.pathPrefix);
        if (!matches)
            continue;
        if (rule.times > 0)
            --rule.times;
        *out = rule;
        return true;
    }
    return false;
}
