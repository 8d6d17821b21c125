// gallows-catalogue-reader.so: the SQLCipher catalogue as a plugin.

#include "app/catalogue/catalogue_reader.h"
#include "app/catalogue/sqlcipher_catalogue.h"

#include <QObject>

#include <openssl/crypto.h>

namespace gallows {

class SqlCipherCatalogueReader : public QObject, public CatalogueReader {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID GallowsCatalogueReader_iid)
    Q_INTERFACES(gallows::CatalogueReader)

public:
    std::unique_ptr<Catalogue> open(const QString &path) override
    {
        // OpenSSL's own error texts are never shown (the player sees
        // SQLite's), and the catalogue needs only the built-in ciphers, not
        // the system's OpenSSL configuration: not loading either spares about
        // 0.5 MB. The first initialisation decides for the whole process.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
        return std::make_unique<SqlCipherCatalogue>(path);
    }
};

} // namespace gallows

#include "catalogue_reader_plugin.moc"
