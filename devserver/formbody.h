#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A request body of the protocol, split into its entries and checked against its
// signature.
//
// Bodies are "key=value" entries joined by "&" with no escaping, so a value may
// itself hold "&" or "=". Reading costs time linear in the body, whatever it holds:
//  1. "secret=" is taken from right after the tag (or from the end, for the
//     profile upload).
//  2. The rest is split with the operation's keys in their documented order,
//     from the right: an entry starts at the last "&key=" whose key comes before
//     the key of the entry after it. Anything else stays inside a value.
//  3. Should that not verify, every "&" followed by a key starts an entry (for
//     clients that send other keys or another order with escaped values).
//  4. A client may send "%", "&", "+" and "=" inside values as %25, %26, %2B and
//     %3D while signing the values unescaped; each split is also tried with those
//     four escapes undone.
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
