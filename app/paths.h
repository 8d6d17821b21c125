#pragma once
#include <QString>
#include <QtGlobal>

namespace gallows {

// The folder the running program lies in. Works before the application
// object exists, so start-up can use it on a second thread.
QString programDir();

// The folder that holds Data/: the program's own folder when Data/ lies
// beside the program, else the installed share folder.
QString dataRoot();

// dataRoot() joined with a relative path such as "Data/bsk.cab".
QString dataPath(const QString &relativePath);

// Where one of the game's loadable parts (such as "gallows-cue-player.so")
// is: beside the program in a build folder, else in the installed lib
// folder. When neither holds it, the path beside the program.
QString modulePath(const QString &fileName);

// Loads the part `fileName` (found as modulePath() finds it) and looks up
// `symbol` in it. Null, with the reason in `*why`, when either fails. A part
// once loaded stays loaded until the program ends.
QFunctionPointer resolvePart(const char *fileName, const char *symbol, QString *why);

} // namespace gallows
