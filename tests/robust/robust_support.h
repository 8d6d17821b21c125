#pragma once
// Shared by the robustness tests: what the game's message boxes said, and
// whether a settings store on disk is one the game could have written.

#include "harness.h"

#include <QStringList>
#include <QTemporaryDir>

namespace gallows::robust {

// The texts of the message boxes a game showed, in order, read from the log
// the message spy plugin keeps inside the game process.
class MessageLog {
public:
    MessageLog();
    bool isValid() const { return dir.isValid(); }

    // Makes the next start of `game` load the spy and log into this file.
    void attach(e2e::GameProcess &game) const;
    QString path() const;

    QStringList all() const;
    // The lines logged since the last call.
    QStringList takeNew();
    // Waits until at least `count` lines have been logged in all.
    bool waitFor(int count, int timeoutMs) const;

private:
    QTemporaryDir dir;
    int taken = 0;
};

// Makes the next start of `game` slow down every write, fsync and rename
// in `folder` by `microseconds` (the slow-disk library, preloaded).
void slowDiskFor(e2e::GameProcess &game, const QString &folder, int microseconds);

// Empty when the settings file at `path` is absent, or parses and holds
// nothing but valid values of the game's eight keys in [Gallows];
// otherwise what is wrong with it.
QString storeProblem(const QString &path);

} // namespace gallows::robust
