#pragma once
#include <QObject>
#include <QString>

namespace gallows {

// The folder the running program lies in. Works before the application
// object exists, so start-up can use it on a second thread.
QString programDir();

// The folder that holds Data/: the program's own folder when Data/ lies
// beside the program, else the installed share folder.
QString dataRoot();

// dataRoot() joined with a relative path such as "Data/bsk.cab".
QString dataPath(const QString &relativePath);

// Where one of the game's plugins (such as "gallows-cue-player.so") is:
// beside the program in a build folder, else in the installed lib folder.
// When neither holds it, the path beside the program.
QString modulePath(const QString &fileName);

// How a plugin's symbols are looked up as it loads.
enum class PluginSymbols {
    // The program's libraries first, as for any library.
    Shared,
    // The plugin and the libraries it brings first (RTLD_DEEPBIND): for a
    // plugin that brings large libraries of its own, such as SQLCipher and
    // OpenSSL, whose thousands of symbols are then found without searching
    // every library the program has loaded. Shared under the address
    // sanitizer, whose runtime refuses it.
    OwnFirst,
};

// Loads the plugin `fileName` (found as modulePath() finds it) and returns
// its instance, made on the calling thread and kept until the program ends.
// Null, with the reason in `*why`, when it does not load or is not an
// `Interface`.
QObject *loadPluginInstance(const QString &fileName, QString *why, PluginSymbols symbols = PluginSymbols::Shared);

template <typename Interface>
Interface *loadPlugin(const QString &fileName, QString *why, PluginSymbols symbols = PluginSymbols::Shared)
{
    QObject *instance = loadPluginInstance(fileName, why, symbols);
    Interface *part = qobject_cast<Interface *>(instance);
    if (instance && !part)
        *why = QStringLiteral("%1 belongs to another version of the game").arg(modulePath(fileName));
    return part;
}

} // namespace gallows
