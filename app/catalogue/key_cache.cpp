#include "app/catalogue/key_cache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStandardPaths>

#include <openssl/evp.h>

namespace gallows {

namespace {

constexpr int kKdfRounds = 64000; // SQLCipher 3's default, which the catalogue uses
constexpr int kKeyBytes = 32;
// Catalogues remembered at most: one per copy of the game, in practice.
constexpr int kEntries = 8;

// An entry names the passphrase only by its hash.
QByteArray entryPrefix(const QByteArray &passphrase, const QByteArray &salt)
{
    return QCryptographicHash::hash(passphrase, QCryptographicHash::Sha256).toHex() + ' '
        + salt.toHex() + ' ';
}

QList<QByteArray> readEntries(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A real cache is a few hundred bytes; anything far larger is not one.
    return file.read(64 * 1024).split('\n');
}

} // namespace

QByteArray deriveCatalogueKey(const QByteArray &passphrase, const QByteArray &salt)
{
    QByteArray key(kKeyBytes, '\0');
    if (PKCS5_PBKDF2_HMAC_SHA1(passphrase.constData(), int(passphrase.size()),
                               reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()),
                               kKdfRounds, kKeyBytes, reinterpret_cast<unsigned char *>(key.data()))
        != 1)
        return {};
    return key;
}

CatalogueKeyCache::CatalogueKeyCache(QString filePath) : path(std::move(filePath)) {}

QString CatalogueKeyCache::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/tarvolin-gallows/catalogue-keys");
}

QByteArray CatalogueKeyCache::find(const QByteArray &passphrase, const QByteArray &salt) const
{
    const QByteArray prefix = entryPrefix(passphrase, salt);
    for (const QByteArray &line : readEntries(path)) {
        if (!line.startsWith(prefix))
            continue;
        const QByteArray hex = line.mid(prefix.size()).trimmed();
        const QByteArray key = QByteArray::fromHex(hex);
        if (hex.size() == 2 * kKeyBytes && key.size() == kKeyBytes && key.toHex() == hex.toLower())
            return key;
    }
    return {};
}

void CatalogueKeyCache::remember(const QByteArray &passphrase, const QByteArray &salt,
                                 const QByteArray &key) const
{
    if (path.isEmpty() || key.size() != kKeyBytes)
        return;
    const QByteArray prefix = entryPrefix(passphrase, salt);
    QList<QByteArray> lines{prefix + key.toHex()};
    for (const QByteArray &line : readEntries(path))
        if (!line.trimmed().isEmpty() && !line.startsWith(prefix) && lines.size() < kEntries)
            lines.append(line);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(lines.join('\n') + '\n');
    file.commit();
}

} // namespace gallows
