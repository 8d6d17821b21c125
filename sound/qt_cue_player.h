#pragma once
// Plays the cues through Qt Multimedia: at once, in the background, a new
// cue cutting off the one still playing, and silence for a missing file.

#include "interfaces.h"

#include <QHash>
#include <QObject>
#include <QString>

class QSoundEffect;

namespace gallows {

class QtCuePlayer : public QObject, public CuePlayer {
    Q_OBJECT
public:
    explicit QtCuePlayer(QObject *parent = nullptr);
    ~QtCuePlayer() override;

    void play(const QString &relativePath) override;

    // The full path a cue is read from.
    static QString resolve(const QString &relativePath);

private:
    QSoundEffect *effectFor(const QString &relativePath);

    QHash<QString, QSoundEffect *> effects;
    QSoundEffect *current = nullptr;
};

} // namespace gallows
