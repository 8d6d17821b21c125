#include "app/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPluginLoader>

namespace gallows {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

} // namespace

QString programDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // What applicationDirPath() reads too, on Linux.
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return QFileInfo(program).absolutePath();
}

QString dataRoot()
{
    const QString program = programDir();
    if (QFileInfo(program + QStringLiteral("/Data")).isDir())
        return program;
    // Installed layout: <prefix>/games/gallows and <prefix>/share/tarvolin-gallows/Data.
    const QString shared = QDir::cleanPath(program + QStringLiteral("/../share/tarvolin-gallows"));
    if (QFileInfo(shared + QStringLiteral("/Data")).isDir())
        return shared;
    return program;
}

QString dataPath(const QString &relativePath)
{
    return dataRoot() + QLatin1Char('/') + relativePath;
}

QString modulePath(const QString &fileName)
{
    const QString program = programDir();
    const QString beside = program + QLatin1Char('/') + fileName;
    if (QFileInfo::exists(beside))
        return beside;
    // Installed layout: <prefix>/games/gallows and <prefix>/lib/<triplet>/tarvolin-gallows/.
    const QString installed = QDir::cleanPath(
        program + QStringLiteral("/" GALLOWS_PARTS_FROM_PROGRAM "/") + fileName);
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

QObject *loadPluginInstance(const QString &fileName, QString *why, PluginSymbols symbols)
{
    QPluginLoader loader(modulePath(fileName));
    if (symbols == PluginSymbols::OwnFirst && !kAddressSanitizer)
        loader.setLoadHints(QLibrary::DeepBindHint);
    QObject *instance = loader.instance();
    if (!instance)
        *why = loader.errorString();
    return instance;
}

} // namespace gallows
