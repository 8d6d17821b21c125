#include "qt_cue_player.h"

#include "paths.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace gallows {

QtCuePlayer::QtCuePlayer(QObject *parent) : QObject(parent) {}

QtCuePlayer::~QtCuePlayer() = default;

QString QtCuePlayer::resolve(const QString &relativePath) { return dataPath(relativePath); }

QSoundEffect *QtCuePlayer::effectFor(const QString &relativePath)
{
    auto it = effects.find(relativePath);
    if (it != effects.end())
        return it.value();
    // Each cue file is loaded once, on its first use, and kept.
    auto *effect = new QSoundEffect(this);
    effect->setSource(QUrl::fromLocalFile(resolve(relativePath)));
    effects.insert(relativePath, effect);
    return effect;
}

void QtCuePlayer::play(const QString &relativePath)
{
    if (!QFileInfo(resolve(relativePath)).isFile()) {
        if (current)
            current->stop();
        return;
    }
    QSoundEffect *effect = effectFor(relativePath);
    if (current && current != effect)
        current->stop();
    current = effect;
    if (effect->status() == QSoundEffect::Error)
        return;
    effect->stop();
    effect->play();
}

} // namespace gallows
