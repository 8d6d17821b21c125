#include "sound/qt_cue_player.h"

#include "game/cues.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace gallows {

namespace {

// How long the sound server may take to answer the closing of a stream.
constexpr int kServerAnswerMs = 50;
// How long the player's thread has to finish when the player goes.
constexpr int kFinishMs = 1000;

quint16 le16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }

QAudioFormat::SampleFormat sampleFormat(quint16 tag, quint16 bits)
{
    constexpr quint16 kPcm = 1, kFloat = 3;
    if (tag == kPcm && bits == 8)
        return QAudioFormat::UInt8;
    if (tag == kPcm && bits == 16)
        return QAudioFormat::Int16;
    if (tag == kPcm && bits == 32)
        return QAudioFormat::Int32;
    if (tag == kFloat && bits == 32)
        return QAudioFormat::Float;
    return QAudioFormat::Unknown;
}

} // namespace

WaveSound WaveSound::read(const QByteArray &file)
{
    WaveSound sound;
    const char *data = file.constData();
    const qsizetype size = file.size();
    if (size < 12 || file.first(4) != "RIFF" || file.sliced(8, 4) != "WAVE")
        return sound;

    QAudioFormat format;
    quint16 blockAlign = 0;
    qsizetype at = 12;
    while (at + 8 <= size) {
        const QByteArray id = file.sliced(at, 4);
        const qsizetype length = le32(data + at + 4);
        const qsizetype body = at + 8;
        const qsizetype present = std::min<qsizetype>(length, size - body);
        if (id == "fmt " && present >= 16) {
            quint16 tag = le16(data + body);
            const quint16 channels = le16(data + body + 2);
            const quint32 rate = le32(data + body + 4);
            blockAlign = le16(data + body + 12);
            const quint16 bits = le16(data + body + 14);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format.
            if (tag == 0xFFFE && present >= 26)
                tag = le16(data + body + 24);
            const QAudioFormat::SampleFormat kind = sampleFormat(tag, bits);
            if (kind == QAudioFormat::Unknown || channels == 0 || rate == 0 || rate > 384000)
                return sound;
            format.setSampleFormat(kind);
            format.setChannelCount(channels);
            format.setSampleRate(int(rate));
            if (blockAlign != format.bytesPerFrame())
                return sound;
        } else if (id == "data" && format.isValid()) {
            // A file cut short plays what it holds, whole frames only.
            sound.format = format;
            sound.samples = file.sliced(body, present - present % blockAlign);
            return sound;
        }
        at = body + length + (length & 1);
    }
    return sound;
}

int WaveSound::lengthMs() const
{
    return isNull() ? 0 : int(format.durationForBytes(samples.size()) / 1000);
}

// The player's half on its thread: the sink and all else that talks to the
// sound server. Made on the game's thread, then moved; its functions run only
// on its own thread, handed over as queued calls.
class CueOutput : public QObject {
public:
    std::atomic<QtCuePlayer::Stage> stage{QtCuePlayer::Stage::Idle};

    CueOutput() : m_closing(new QTimer(this))
    {
        m_closing->setSingleShot(true);
        connect(m_closing, &QTimer::timeout, this, &CueOutput::stopCurrent);
    }

    // Asking for the output device connects Qt to the sound server now
    // rather than at the first cue.
    void warmUp() { QMediaDevices::defaultAudioOutput(); }

    void play(const WaveSound &sound)
    {
        // Whatever happens to the new cue, the old one stops: one cue at a time.
        stopCurrent();
        if (sound.isNull())
            return;
        stage = QtCuePlayer::Stage::Opening;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(sound.format)) {
            stage = QtCuePlayer::Stage::Idle;
            return;
        }
        auto *next = new QAudioSink(device, sound.format, this);
        auto *source = new QBuffer(next);
        source->setData(sound.samples);
        source->open(QIODevice::ReadOnly);
        connect(next, &QAudioSink::stateChanged, this, [this, next](QAudio::State state) {
            sinkStateChanged(next, state);
        });
        m_sink = next;
        next->start(source); // a server that does not answer holds the thread here
        if (m_sink == next && next->error() != QAudio::NoError)
            stopCurrent();
        else if (m_sink == next)
            stage = QtCuePlayer::Stage::Playing;
    }

    // The last call: the player is going. Ends the thread.
    void finish()
    {
        stopCurrent();
        // Qt's connection to the sound server goes soon after the player. If
        // a stream has only just closed, the server's answers may still be on
        // their way, and libpulse aborts the process when one arrives while
        // Qt tears the connection down: wait for them.
        if (m_streamClosed.isValid() && m_streamClosed.elapsed() < kServerAnswerMs)
            QThread::msleep(quint64(kServerAnswerMs - m_streamClosed.elapsed()));
        thread()->quit();
    }

private:
    void stopCurrent()
    {
        m_closing->stop();
        stage = QtCuePlayer::Stage::Idle;
        // Qt's sound back end may run the event loop while a stream closes,
        // and with it this object again: let go of the sink before stopping
        // it, and delete it from the event loop rather than from a handler.
        if (QAudioSink *old = std::exchange(m_sink, nullptr)) {
            old->disconnect(this);
            old->stop();
            old->deleteLater();
            m_streamClosed.start();
        }
    }

    void sinkStateChanged(QAudioSink *from, QAudio::State state)
    {
        if (!m_sink || m_sink != from)
            return;
        if (state == QAudio::StoppedState) {
            // The device went away or failed.
            if (m_sink->error() != QAudio::NoError)
                stopCurrent();
            return;
        }
        // Once the sink has read the whole cue, the server still holds up to
        // one buffer of it: close the stream when that has been played, not
        // before, as the server drops what a stream still holds when it closes.
        const auto *source = m_sink->findChild<QBuffer *>();
        if (state == QAudio::IdleState && source && source->atEnd() && !m_closing->isActive())
            m_closing->start(int(m_sink->format().durationForBytes(m_sink->bufferSize()) / 1000) + 100);
    }

    QAudioSink *m_sink = nullptr;
    QTimer *m_closing;
    QElapsedTimer m_streamClosed;
};

QtCuePlayer::QtCuePlayer(const QString &folder)
    : m_root(folder), m_thread(new QThread), m_output(new CueOutput)
{
    // The twelve cues are small: read them all now, so that no cue waits for
    // the disk when the game first needs it. A missing file is looked for
    // again when it is played.
    for (const QString &cue : cueFiles())
        soundFor(cue);
    m_thread->setObjectName(QStringLiteral("gallows-cues"));
    m_output->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(m_output, [o = m_output] { o->warmUp(); }, Qt::QueuedConnection);
}

QtCuePlayer::~QtCuePlayer()
{
    QMetaObject::invokeMethod(m_output, [o = m_output] { o->finish(); }, Qt::QueuedConnection);
    if (m_thread->wait(QDeadlineTimer(kFinishMs))) {
        delete m_output; // its thread is over: nothing else touches it
        delete m_thread;
        return;
    }
    // The thread is still inside the sink, waiting for a sound server that
    // will not answer, and nothing can take it out. A QThread must not be
    // destroyed while it runs: it is left, with its output, to the end of the
    // process, which follows. Nor can Qt's connection to the server be torn
    // down under that thread (libpulse aborts the process), and Qt does that
    // when the process exits: so the process ends before, with the status it
    // was ending with. Handlers registered with on_exit() run before the ones
    // registered earlier, Qt's among them.
    on_exit([](int status, void *) {
        fflush(nullptr);
        _exit(status);
    }, nullptr);
}

QString QtCuePlayer::resolve(const QString &relativePath) const
{
    return m_root + QLatin1Char('/') + relativePath;
}

QStringList QtCuePlayer::cueFiles()
{
    QStringList files;
    for (int n = 1; n <= 4; ++n)
        files << cueFile(Cue::Correct, n);
    for (int n = 1; n <= 4; ++n)
        files << cueFile(Cue::Wrong, n);
    for (Cue cue : {Cue::Win, Cue::WinFirstMove, Cue::Lose, Cue::GiveUp})
        files << cueFile(cue);
    return files;
}

int QtCuePlayer::lengthMs(const QString &relativePath) const
{
    const auto it = m_sounds.constFind(relativePath);
    return it == m_sounds.constEnd() ? 0 : it->lengthMs();
}

QtCuePlayer::Stage QtCuePlayer::stage() const
{
    return m_output->stage;
}

const WaveSound *QtCuePlayer::soundFor(const QString &relativePath)
{
    auto it = m_sounds.constFind(relativePath);
    if (it != m_sounds.constEnd())
        return &*it;
    QFile file(resolve(relativePath));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    // A file that is there but is no sound is remembered as such: it stays
    // silent without being read again at every guess.
    return &*m_sounds.insert(relativePath, WaveSound::read(file.readAll()));
}

void QtCuePlayer::play(const QString &relativePath)
{
    // The cue is handed over, never waited for: the samples are shared, not copied.
    const WaveSound *sound = soundFor(relativePath);
    QMetaObject::invokeMethod(m_output, [o = m_output, cue = sound ? *sound : WaveSound()] { o->play(cue); },
                              Qt::QueuedConnection);
}

} // namespace gallows
