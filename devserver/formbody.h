#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A request body of the protocol, split into its entries and checked against its
// signature.
//
// Bodies are "key=value" entries joined by "&" with no escaping, so a value may
// itself hold "&" or "=". The split is decided like this:
//  1. The body is cut at every "&". A piece that does not start like a key
//     ([A-Za-z_][A-Za-z0-9_]*=) always continues the previous entry's value.
//  2. Every other piece after the first may start an entry or continue a value.
//     The choices are tried with the fewest continuations first and kept when
//     their "secret=" entry matches the signature of the remaining entries. At
//     most the first 12 such pieces are open to choice, fewer for long bodies
//     (each try hashes the body once); later ones always start an entry.
//  3. Some splits sign alike (a value "x&pb=1" followed by nothing that sorts
//     between gives the same signed text as two entries). Among the splits that
//     verify, the one wins that has no repeated key, then the fewest keys the
//     operation does not use, then the most entries.
//  4. A client may instead send "%", "&", "+" and "=" inside values as %25, %26,
//     %2B and %3D while signing the values unescaped. When the split at every "&"
//     does not verify as sent, it is tried again with those four escapes undone.
// The profile upload's "head=" value travels percent-encoded and is signed
// decoded; entries() holds it decoded.
class SignedForm
{
public:
    enum class Status { Ok, Empty, NoTag, NoSecret, BadSignature };

    static SignedForm parse(const QByteArray &body);

    // The operation tag as the body gives it, even when the signature fails;
    // 0 when there is none.
    static int peekTag(const QByteArray &body);

    Status status() const { return m_status; }
    bool isValid() const { return m_status == Status::Ok; }
    int tag() const { return m_tag; }
    bool has(const QString &key) const;
    // The first entry of that key; empty when absent.
    QString value(const QString &key) const;
    // Entries without "secret=", in body order.
    const QList<QPair<QString, QString>> &entries() const { return m_entries; }

private:
    Status m_status = Status::Empty;
    int m_tag = 0;
    QList<QPair<QString, QString>> m_entries;
};

// The keys a request of this operation tag is built from, "tag" and "secret"
// included; empty for an unknown tag.
const QList<QString> &protocolKeys(int tag);
