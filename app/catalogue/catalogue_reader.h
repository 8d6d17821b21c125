#pragma once
// The catalogue reader as the game loads it at run time, a Qt plugin
// (gallows-catalogue-reader.so): SQLCipher and OpenSSL come with it, so they
// are loaded on the thread that opens the catalogue while the window is being
// built, instead of before main().

#include "game/interfaces.h"

#include <QtPlugin>

#include <memory>

namespace gallows {

class CatalogueReader {
public:
    virtual ~CatalogueReader() = default;
    // Opens the catalogue at `path` and reads its identifiers. Throws
    // GameError with the player-facing reason, as the catalogue's own calls do.
    virtual std::unique_ptr<Catalogue> open(const QString &path) = 0;
};

} // namespace gallows

// Change the version whenever this class or Catalogue changes, so that a
// reader from another build is refused rather than misused.
#define GallowsCatalogueReader_iid "org.tarvolin.Gallows.CatalogueReader/2"
Q_DECLARE_INTERFACE(gallows::CatalogueReader, GallowsCatalogueReader_iid)
