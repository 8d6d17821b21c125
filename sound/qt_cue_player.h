#pragma once
// Plays the cues through Qt Multimedia: at once, in the background, a new
// cue cutting off the one still playing, and silence for a missing or broken
// file or when there is no sound device at all.
//
// Qt's audio sink can wait for the sound server with no way out: a server
// that stops answering or dies while a cue starts leaves it waiting for a
// stream that never comes. So everything that talks to the server (the
// device, the sink) lives on a thread of the player's own, and play() only
// hands the cue over: a stuck sink blocks that thread, never the game.

#include "game/interfaces.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class QThread;

namespace gallows {

// A wave file read into memory: 8-, 16- or 32-bit integer or 32-bit float
// PCM, any rate and channel count. Anything else is not a sound (isNull()).
struct WaveSound {
    QAudioFormat format;
    QByteArray samples;

    bool isNull() const { return !format.isValid() || samples.isEmpty(); }
    int lengthMs() const;

    static WaveSound read(const QByteArray &file);
};

class CueOutput;

class QtCuePlayer : public CuePlayer {
public:
    // Reads the cues below `root`, the folder that holds Data/, and starts
    // its thread.
    explicit QtCuePlayer(const QString &m_root);
    ~QtCuePlayer() override;

    void play(const QString &relativePath) override;

    // The full path a cue is read from.
    QString resolve(const QString &relativePath) const;

    // The twelve cue files, relative to the data folder, as the game names them.
    static QStringList cueFiles();

    // How long a cue sounds, in milliseconds; 0 when it is missing or is not
    // a sound this player can play.
    int lengthMs(const QString &relativePath) const;

    // What the player's thread is doing with the last cue it was handed:
    // nothing (none yet, missing, ended, cut or failed), opening a sink for it
    // (this is where a silent server holds it), or playing it.
    enum class Stage { Idle, Opening, Playing };
    Stage stage() const;

private:
    const WaveSound *soundFor(const QString &relativePath);

    QString m_root;
    QHash<QString, WaveSound> m_sounds;
    QThread *m_thread;
    CueOutput *m_output; // lives on `thread`
};

} // namespace gallows
