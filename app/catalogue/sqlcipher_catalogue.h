#pragma once
// The games catalogue as the game reads it: an SQLCipher database holding
// the table Games(GameID, Title, Year, Genre, Publisher, Developer).

#include "game/interfaces.h"
#include "app/catalogue/sql_connection.h"

#include <QString>
#include <vector>

namespace gallows {

// The passphrase the shipped catalogue is keyed with.
inline constexpr char kCatalogueKey[] = "57204618";

// Every catalogue keyed with that passphrase is written with one salt, so the
// key SQLCipher derives from the two (64,000 rounds of PBKDF2-HMAC-SHA1) is
// known in advance, and opening such a catalogue skips the derivation. The
// file stays an ordinary SQLCipher database that the passphrase opens.
inline constexpr char kCatalogueSalt[] = "Tarvolin Gallows"; // the file's first 16 bytes
inline constexpr char kCatalogueRawKey[] =
    "x'4e035656722025f897e1e3e5b20f12c48ecce3916a7565ec9268c8c16b75bc66'";
// The raw key followed by the salt: the form that makes a new file with that salt.
QByteArray catalogueKeyWithSalt();

// Opens a catalogue read-only and makes sure it can be read and has a Games
// table with all six columns. Throws GameError with the player-facing reason.
sql::Connection openCatalogue(const QString &m_path, const QString &key);

class SqlCipherCatalogue : public Catalogue {
public:
    // Opens the catalogue and reads its identifier list. Throws GameError.
    explicit SqlCipherCatalogue(const QString &m_path,
                                const QString &key = QString::fromLatin1(kCatalogueKey));
    ~SqlCipherCatalogue() override;

    int count() const override;
    GameRecord fetch(int row) override;
    void close() override;

private:
    // An identifier that is not a plain integer, kept with its SQLite type so
    // that it binds back exactly as it was stored.
    struct LooseId {
        int type = 0;
        qint64 integer = 0;
        double real = 0;
        QByteArray bytes;
    };

    void readIdentifiers();
    void keepLoose(const sql::Statement &st);
    void bindId(sql::Statement &st, int row) const;
    QString idText(int row) const;
    [[noreturn]] void unreadable(const sql::Error &e) const;

    QString m_path;
    sql::Connection m_db;
    // Every identifier is an integer in almost every catalogue: 8 bytes a row.
    std::vector<qint64> m_ids;
    // Used instead of `ids` once any identifier turns out not to be one.
    std::vector<LooseId> m_looseIds;
    bool m_looseMode = false;
};

} // namespace gallows
