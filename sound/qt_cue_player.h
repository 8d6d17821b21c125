#pragma once
// Plays the cues through Qt Multimedia: at once, in the background, a new
// cue cutting off the one still playing, and silence for a missing or broken
// file or when there is no sound device at all.

#include "interfaces.h"

#include <QAudio>
#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QAudioSink;

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

class QtCuePlayer : public QObject, public CuePlayer {
    Q_OBJECT
public:
    // Reads the cues from the game's data folder (see dataRoot()).
    explicit QtCuePlayer(QObject *parent = nullptr);
    // Reads the cues below `root`, the folder that holds Data/.
    explicit QtCuePlayer(const QString &root, QObject *parent = nullptr);
    ~QtCuePlayer() override;

    void play(const QString &relativePath) override;

    // The full path a cue is read from.
    QString resolve(const QString &relativePath) const;

    // The twelve cue files, relative to the data folder, as the game names them.
    static QStringList cueFiles();

    // How long a cue sounds, in milliseconds; 0 when it is missing or is not
    // a sound this player can play.
    int lengthMs(const QString &relativePath) const;

    // The cue that is sounding now, or an empty string.
    QString playing() const;

private:
    const WaveSound *soundFor(const QString &relativePath);
    void stopCurrent();
    void sinkStateChanged(QAudio::State state);

    QString root;
    QHash<QString, WaveSound> sounds;
    QAudioSink *sink = nullptr;
    QString current;
    QTimer closing;
    QElapsedTimer streamClosed;
};

} // namespace gallows
