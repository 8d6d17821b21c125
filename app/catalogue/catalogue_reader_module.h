#pragma once
// The catalogue reader as a part the game loads at run time. SQLCipher and
// OpenSSL come with it, so they are loaded on the thread that opens the
// catalogue, while the window is being built, instead of before main().

#include "game/interfaces.h"

#include <QString>

namespace gallows::reader_module {

inline constexpr char kFileName[] = "gallows-catalogue-reader.so";
// Bump the number whenever the signature or the Catalogue interface changes,
// so that a reader from another build is refused rather than misused.
inline constexpr char kOpenSymbol[] = "gallows_open_catalogue_v1";

// Opens the catalogue at `path` and reads its identifiers. Returns it (the
// caller owns it), or null with a message for the player in `*error`. The
// catalogue's own calls throw GameError as SqlCipherCatalogue's do.
using OpenFunction = Catalogue *(*)(const QString &path, QString *error);

} // namespace gallows::reader_module
