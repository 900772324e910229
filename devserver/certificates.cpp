#include "devserver/certificates.h"

#include <QDir>
#include <QFile>

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

constexpr long kCaDays = 3650;
constexpr long kServerDays = 825; // the longest validity browsers still accept
constexpr long kDay = 24 * 60 * 60;

struct X509Free
{
    void operator()(X509 *p) const { X509_free(p); }
};
struct KeyFree
{
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
};
struct BioFree
{
    void operator()(BIO *p) const { BIO_free(p); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.read(1024 * 1024);
}

X509Ptr loadCert(const QString &path)
{
    const QByteArray pem = readFile(path);
    if (pem.isEmpty())
        return nullptr;
    BioPtr bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

KeyPtr loadKey(const QString &path)
{
    const QByteArray pem = readFile(path);
    if (pem.isEmpty())
        return nullptr;
    BioPtr bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return KeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

// Written beside the target and renamed over it, so a crash never leaves half a file.
bool writeFile(const QString &path, const QByteArray &bytes, mode_t mode)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".tmp";
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.constData());
            return false;
        }
        done += n;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return ::rename(temp.constData(), target.constData()) == 0;
}

QByteArray certPem(X509 *cert)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio_X509(bio.get(), cert))
        return QByteArray();
    char *data = nullptr;
    const long len = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(len));
}

QByteArray keyPem(EVP_PKEY *key)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr))
        return QByteArray();
    char *data = nullptr;
    const long len = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(len));
}

bool addExtension(X509 *cert, X509 *issuer, int nid, const char *value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

bool setRandomSerial(X509 *cert)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] &= 0x7f; // keep the serial positive
    BIGNUM *bn = BN_bin2bn(bytes, sizeof bytes, nullptr);
    if (!bn)
        return false;
    const bool ok = BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert)) != nullptr;
    BN_free(bn);
    return ok;
}

KeyPtr newKey()
{
    return KeyPtr(EVP_EC_gen("P-256"));
}

X509Ptr newCert(EVP_PKEY *key, const char *commonName, long days)
{
    X509Ptr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), 2) != 1 || !setRandomSerial(cert.get()))
        return nullptr;
    // Back-dated a little so a client whose clock runs behind accepts it at once.
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), days * kDay);
    X509_NAME *name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char *>("Quillora development"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char *>(commonName), -1, -1, 0);
    if (X509_set_pubkey(cert.get(), key) != 1)
        return nullptr;
    return cert;
}

bool makeAuthority(X509Ptr *cert, KeyPtr *key)
{
    KeyPtr k = newKey();
    if (!k)
        return false;
    X509Ptr c = newCert(k.get(), "Quillora development CA", kCaDays);
    if (!c || X509_set_issuer_name(c.get(), X509_get_subject_name(c.get())) != 1)
        return false;
    if (!addExtension(c.get(), c.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0") ||
        !addExtension(c.get(), c.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !addExtension(c.get(), c.get(), NID_subject_key_identifier, "hash"))
        return false;
    if (X509_sign(c.get(), k.get(), EVP_sha256()) <= 0)
        return false;
    *cert = std::move(c);
    *key = std::move(k);
    return true;
}

bool makeServerCert(X509 *ca, EVP_PKEY *caKey, X509Ptr *cert, KeyPtr *key)
{
    KeyPtr k = newKey();
    if (!k)
        return false;
    X509Ptr c = newCert(k.get(), "localhost", kServerDays);
    if (!c || X509_set_issuer_name(c.get(), X509_get_subject_name(ca)) != 1)
        return false;
    if (!addExtension(c.get(), ca, NID_basic_constraints, "critical,CA:FALSE") ||
        !addExtension(c.get(), ca, NID_key_usage, "critical,digitalSignature") ||
        !addExtension(c.get(), ca, NID_ext_key_usage, "serverAuth") ||
        !addExtension(c.get(), ca, NID_subject_alt_name,
                      "DNS:localhost,IP:127.0.0.1,IP:0:0:0:0:0:0:0:1") ||
        !addExtension(c.get(), ca, NID_subject_key_identifier, "hash") ||
        !addExtension(c.get(), ca, NID_authority_key_identifier, "keyid:always"))
        return false;
    if (X509_sign(c.get(), caKey, EVP_sha256()) <= 0)
        return false;
    *cert = std::move(c);
    *key = std::move(k);
    return true;
}

bool validFor(X509 *cert, long seconds)
{
    time_t when = time(nullptr) + seconds;
    return X509_cmp_time(X509_get0_notAfter(cert), &when) > 0;
}

} // namespace

bool ensureTlsFiles(const QString &dirPath, TlsFiles *files, QString *error)
{
    QDir dir(dirPath);
    TlsFiles f;
    f.caCert = dir.absoluteFilePath(QStringLiteral("ca.pem"));
    f.caKey = dir.absoluteFilePath(QStringLiteral("ca-key.pem"));
    f.serverCert = dir.absoluteFilePath(QStringLiteral("server.pem"));
    f.serverKey = dir.absoluteFilePath(QStringLiteral("server-key.pem"));

    X509Ptr ca = loadCert(f.caCert);
    KeyPtr caKey = loadKey(f.caKey);
    bool caUsable = ca && caKey && X509_check_private_key(ca.get(), caKey.get()) == 1 &&
                    X509_check_ca(ca.get()) > 0 && validFor(ca.get(), kDay);
    bool newAuthority = false;
    if (!caUsable) {
        if (!makeAuthority(&ca, &caKey)) {
            *error = QStringLiteral("could not create the certificate authority");
            return false;
        }
        if (!writeFile(f.caKey, keyPem(caKey.get()), 0600) ||
            !writeFile(f.caCert, certPem(ca.get()), 0644)) {
            *error =
                QStringLiteral("could not write the certificate authority into %1").arg(dirPath);
            return false;
        }
        newAuthority = true;
    }

    X509Ptr server = loadCert(f.serverCert);
    KeyPtr serverKey = loadKey(f.serverKey);
    bool serverUsable = !newAuthority && server && serverKey &&
                        X509_check_private_key(server.get(), serverKey.get()) == 1 &&
                        X509_verify(server.get(), caKey.get()) == 1 && validFor(server.get(), kDay);
    if (!serverUsable) {
        if (!makeServerCert(ca.get(), caKey.get(), &server, &serverKey)) {
            *error = QStringLiteral("could not issue the server certificate");
            return false;
        }
        if (!writeFile(f.serverKey, keyPem(serverKey.get()), 0600) ||
            !writeFile(f.serverCert, certPem(server.get()), 0644)) {
            *error = QStringLiteral("could not write the server certificate into %1").arg(dirPath);
            return false;
        }
    }
    *files = f;
    return true;
}
