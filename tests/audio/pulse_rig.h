#pragma once
// A private PulseAudio server with one null sink, and a recorder of that
// sink's monitor: whatever a player sends to the server comes back as
// samples to compare with the cue files.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <utility>

namespace audiotest {

// The sink's format, which is also the cues' format: nothing is resampled,
// so a cue comes back sample for sample.
constexpr int kRate = 22050;
inline const QString kSinkName = QStringLiteral("gallows_test");

using Samples = QList<qint16>;

class SoundServer {
public:
    SoundServer();
    ~SoundServer();

    // Starts the server and waits until it answers; on failure says why.
    bool start(QString *why);
    // Ends the server and its helpers, politely, then firmly.
    void stop();
    // Ends the server at once, as a crash would.
    void kill();
    bool running() const;

    // What a client needs to reach this server and nothing else; also keeps
    // clients from starting a server of their own.
    QProcessEnvironment environment() const;
    QString folder() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QProcess daemon;
    QProcess keepAlive;
};

class Recorder {
public:
    explicit Recorder(const QProcessEnvironment &environment);
    ~Recorder();

    // Starts recording and waits for the first samples.
    bool start();
    // Waits until `ms` more have been recorded, or until `timeoutMs` passed.
    bool recordMore(int ms, int timeoutMs = 5000);
    // Stops and returns everything recorded.
    Samples stop();

    qsizetype recorded() const { return data.size() / 2; }
    // The steady clock (QElapsedTimer's reference, in ms) at which the sink
    // played a recorded sample: the earliest that every later delivery allows.
    double clockOf(qsizetype sample) const;

private:
    void take();

    QProcess parec;
    QByteArray data;
    QList<std::pair<qint64, qsizetype>> deliveries; // (clock ms, samples so far)
};

// A 16-bit mono wave file as the cue generator writes it; empty if it is not one.
Samples readCue(const QString &path);

struct Levels {
    double peakDb = -200;   // loudest sample, dBFS
    double rmsDb = -200;    // from the first to the last sounding sample
    qsizetype first = -1;   // first sample that is not zero, -1 for digital silence
    qsizetype last = -1;    // last sample that is not zero
    double seconds() const { return first < 0 ? 0.0 : double(last - first + 1) / kRate; }
};
Levels measure(const Samples &samples);

} // namespace audiotest
