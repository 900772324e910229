#pragma once

#include <QList>
#include <QString>

#include <mutex>

// One injected misbehaviour: for requests of one operation tag, or for GET paths
// starting with a prefix, wait and/or answer wrongly.
struct FaultRule
{
    enum class Action { None, Drop, Empty, NonJson, ErrCode };

    int tag = 0;        // > 0: POSTs with this operation tag
    QString pathPrefix; // otherwise: requests whose path starts with this
    int delayMs = 0;
    Action action = Action::None;
    int errcode = 0;
    int times = -1; // how many matching requests it applies to; -1 = all
    QString text;   // as given on the command line
};

// "tag=114:drop", "path=/download/:delay=3000,empty,times=1", "tag=105:errcode=7".
bool parseFaultRule(const QString &text, FaultRule *rule, QString *error);

// Picks the fault for a request; safe to call from the HTTP worker threads.
class FaultInjector
{
public:
    explicit FaultInjector(const QList<FaultRule> &rules = {});

    // The first rule that matches and still has uses left, consuming one use.
    // `tag` is 0 for requests that carry none.
    bool take(const QString &path, int tag, FaultRule *out);

private:
    std::mutex m_mutex;
    QList<FaultRule> m_rules;
};
