#include "paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace gallows {

QString dataRoot()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(programDir + QStringLiteral("/Data")).isDir())
        return programDir;
    // Installed layout: <prefix>/bin/gallows and <prefix>/share/tarvolin-gallows/Data.
    const QString shared = QDir::cleanPath(programDir + QStringLiteral("/../share/tarvolin-gallows"));
    if (QFileInfo(shared + QStringLiteral("/Data")).isDir())
        return shared;
    return programDir;
}

QString dataPath(const QString &relativePath)
{
    return dataRoot() + QLatin1Char('/') + relativePath;
}

} // namespace gallows
