#pragma once
// Plays the cues through the sound server's own client library: at once, in
// the background, a new cue cutting off the one still playing, and silence
// for a missing or broken file, without a sound server, or once it is gone.
//
// Nothing here ever waits for the server: the connection and each cue's
// stream are set up by the client library's own thread, and the game's
// thread only hands them work under its lock. A server that stops answering
// or dies while a cue starts or plays can neither hang nor crash the game,
// during play or at exit.

#include "interfaces.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace gallows {

// A wave file read into memory: 8-, 16- or 32-bit integer or 32-bit float
// PCM, any rate and 1 to 8 channels. Anything else is not a sound (isNull()).
struct WaveSound {
    enum class Sample { None, UInt8, Int16, Int32, Float };
    Sample sample = Sample::None;
    int channels = 0;
    int rate = 0;
    QByteArray samples;

    bool isNull() const { return sample == Sample::None || samples.isEmpty(); }
    int bytesPerFrame() const;
    int lengthMs() const;

    static WaveSound read(const QByteArray &file);
};

class PulseCuePlayer : public CuePlayer {
public:
    // Reads the cues below `root`, the folder that holds Data/ (empty: the
    // game's own), and starts connecting to the sound server.
    explicit PulseCuePlayer(const QString &root = QString());
    ~PulseCuePlayer() override;

    void play(const QString &relativePath) override;

    // The twelve cue files, relative to the data folder, as the game names them.
    static QStringList cueFiles();

    // How long a cue sounds, in milliseconds; 0 when it is missing or is not
    // a sound this player can play.
    int lengthMs(const QString &relativePath) const;

    // Where the last cue's stream is: none (no cue yet, or it could not be
    // started), starting (the server has not yet taken it), playing (taken:
    // it sounds, or has sounded), failed (the server refused it or went away).
    enum class Stream { None, Starting, Playing, Failed };
    Stream stream() const;
    // Whether the player is connected to a sound server now.
    bool connected() const;

private:
    struct Playback;
    const WaveSound *soundFor(const QString &relativePath);
    void connectToServer();
    void stopCurrent();

    QString root;
    QHash<QString, WaveSound> sounds;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *current = nullptr;
    Playback *playback = nullptr;
};

} // namespace gallows
