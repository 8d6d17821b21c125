#pragma once
// SQLCipher derives a catalogue's key from its passphrase on every open:
// PBKDF2-HMAC-SHA1 over 64,000 rounds, some 40 ms of processor time. The
// derived key depends only on the passphrase and the salt in the file's first
// 16 bytes, so the game derives it once, keeps it in its cache folder and
// gives SQLCipher the raw key from then on. A stale, foreign or damaged cache
// only costs the derivation again; the catalogue file itself is unchanged.

#include <QByteArray>
#include <QString>

namespace gallows {

inline constexpr int kCatalogueSaltBytes = 16;

// The key SQLCipher 3 derives from `passphrase` and `salt`: 32 bytes.
QByteArray deriveCatalogueKey(const QByteArray &passphrase, const QByteArray &salt);

class CatalogueKeyCache {
public:
    explicit CatalogueKeyCache(QString filePath = defaultFilePath());

    // $XDG_CACHE_HOME/tarvolin-gallows/catalogue-keys
    static QString defaultFilePath();

    // The key remembered for this passphrase and salt, or an empty array.
    QByteArray find(const QByteArray &passphrase, const QByteArray &salt) const;
    // Remembers a key that has just opened a catalogue. Best effort: a cache
    // that cannot be written is no error.
    void remember(const QByteArray &passphrase, const QByteArray &salt, const QByteArray &key) const;

    QString filePath() const { return path; }

private:
    QString path;
};

} // namespace gallows
