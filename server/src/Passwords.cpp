#include "Passwords.h"

#include <QCryptographicHash>
#include <QStringList>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace {

const QString scheme = QStringLiteral("pbkdf2-sha256");
constexpr int hashBytes = 32;

QByteArray pbkdf2(const QString &password, const QByteArray &salt, int rounds)
{
    const QByteArray utf8 = password.toUtf8();
    QByteArray out(hashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(utf8.constData(), utf8.size(),
                          reinterpret_cast<const unsigned char *>(salt.constData()), salt.size(), rounds,
                          EVP_sha256(), out.size(), reinterpret_cast<unsigned char *>(out.data())) != 1)
        return {};
    return out;
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    return !a.isEmpty() && a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), a.size()) == 0;
}

} // namespace

StoredPassword StoredPassword::make(const QString &password, int rounds)
{
    QByteArray salt(16, '\0');
    RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), salt.size());
    const QByteArray hash = pbkdf2(password, salt, rounds);
    return StoredPassword{
        QString::fromLatin1(salt.toBase64()),
        QStringLiteral("%1$%2$%3").arg(scheme).arg(rounds).arg(QString::fromLatin1(hash.toBase64()))};
}

bool StoredPassword::matches(const QString &password) const
{
    if (isOldForm()) {
        const QByteArray digest =
            QCryptographicHash::hash((salt + password).toUtf8(), QCryptographicHash::Sha256);
        return sameBytes(digest, QByteArray::fromHex(hash.toLatin1()));
    }
    const QStringList parts = hash.split(QLatin1Char('$'));
    bool ok = false;
    const int rounds = parts.size() == 3 ? parts[1].toInt(&ok) : 0;
    if (parts.size() != 3 || parts[0] != scheme || !ok || rounds < 1)
        return false;
    return sameBytes(pbkdf2(password, QByteArray::fromBase64(salt.toLatin1()), rounds),
                     QByteArray::fromBase64(parts[2].toLatin1()));
}

bool StoredPassword::isOldForm() const
{
    return !hash.contains(QLatin1Char('$'));
}
