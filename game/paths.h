#pragma once
#include <QString>

namespace gallows {

// The folder that holds Data/: the program's own folder when Data/ lies
// beside the program, else the installed share folder.
QString dataRoot();

// dataRoot() joined with a relative path such as "Data/bsk.cab".
QString dataPath(const QString &relativePath);

} // namespace gallows
