// The entry point of gallows-catalogue-reader.so.

#include "app/catalogue/catalogue_reader_module.h"
#include "app/catalogue/sqlcipher_catalogue.h"

#include <exception>
#include <openssl/crypto.h>
#include <type_traits>

extern "C" Q_DECL_EXPORT gallows::Catalogue *gallows_open_catalogue_v1(const QString &path,
                                                                       QString *error)
{
    static_assert(std::is_same_v<decltype(&gallows_open_catalogue_v1),
                                 gallows::reader_module::OpenFunction>);
    // OpenSSL's own error texts are never shown (the player sees SQLite's),
    // and the catalogue needs only the built-in ciphers, not the system's
    // OpenSSL configuration: not loading either spares about 0.5 MB. The
    // first initialisation decides for the whole process.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
    try {
        return new gallows::SqlCipherCatalogue(path);
    } catch (const std::exception &e) {
        *error = QString::fromUtf8(e.what());
    } catch (...) {
        *error = QStringLiteral("The games catalogue %1 cannot be read.").arg(path);
    }
    return nullptr;
}
