#include "qt_cue_player.h"

#include "cues.h"
#include "paths.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <utility>

namespace gallows {

namespace {

// How long the sound server may take to answer the closing of a stream.
constexpr int kServerAnswerMs = 50;

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

QtCuePlayer::QtCuePlayer(QObject *parent) : QtCuePlayer(dataRoot(), parent) {}

QtCuePlayer::QtCuePlayer(const QString &root, QObject *parent) : QObject(parent), root(root)
{
    // The twelve cues are small: read them all now, so that no cue waits for
    // the disk when the game first needs it. A missing file is looked for
    // again when it is played.
    for (const QString &cue : cueFiles())
        soundFor(cue);
    // Asking for the output device connects Qt to the sound server now
    // rather than at the first cue.
    QMediaDevices::defaultAudioOutput();
    closing.setSingleShot(true);
    connect(&closing, &QTimer::timeout, this, &QtCuePlayer::stopCurrent);
}

QtCuePlayer::~QtCuePlayer()
{
    stopCurrent();
    // The player goes when the game ends, and Qt's connection to the sound
    // server soon after. If a stream has only just closed, the server's
    // answers may still be on their way, and libpulse aborts the process
    // when one arrives while Qt tears the connection down: wait for them.
    if (streamClosed.isValid() && streamClosed.elapsed() < kServerAnswerMs)
        QThread::msleep(kServerAnswerMs - streamClosed.elapsed());
}

QString QtCuePlayer::resolve(const QString &relativePath) const
{
    return root + QLatin1Char('/') + relativePath;
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
    const auto it = sounds.constFind(relativePath);
    return it == sounds.constEnd() ? 0 : it->lengthMs();
}

QString QtCuePlayer::playing() const
{
    return current;
}

const WaveSound *QtCuePlayer::soundFor(const QString &relativePath)
{
    auto it = sounds.constFind(relativePath);
    if (it != sounds.constEnd())
        return &*it;
    QFile file(resolve(relativePath));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    // A file that is there but is no sound is remembered as such: it stays
    // silent without being read again at every guess.
    return &*sounds.insert(relativePath, WaveSound::read(file.readAll()));
}

void QtCuePlayer::stopCurrent()
{
    closing.stop();
    current.clear();
    // Qt's sound back end may run the event loop while a stream closes, and
    // with it this player again: let go of the sink before stopping it, and
    // delete it from the event loop rather than from inside a handler.
    if (QAudioSink *old = std::exchange(sink, nullptr)) {
        old->disconnect(this);
        old->stop();
        old->deleteLater();
        streamClosed.start();
    }
}

void QtCuePlayer::play(const QString &relativePath)
{
    // Whatever happens to the new cue, the old one stops: one cue at a time.
    stopCurrent();
    const WaveSound *sound = soundFor(relativePath);
    if (!sound || sound->isNull())
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(sound->format))
        return;

    auto *next = new QAudioSink(device, sound->format, this);
    auto *source = new QBuffer(next);
    source->setData(sound->samples);
    source->open(QIODevice::ReadOnly);
    connect(next, &QAudioSink::stateChanged, this, &QtCuePlayer::sinkStateChanged);
    sink = next;
    current = relativePath;
    next->start(source);
    if (sink == next && next->error() != QAudio::NoError)
        stopCurrent();
}

void QtCuePlayer::sinkStateChanged(QAudio::State state)
{
    if (!sink || sink != sender())
        return;
    if (state == QAudio::StoppedState) {
        // The device went away or failed.
        if (sink->error() != QAudio::NoError)
            stopCurrent();
        return;
    }
    // Once the sink has read the whole cue, the server still holds up to one
    // buffer of it: close the stream when that has been played, not before,
    // as the server drops what a stream still holds when it closes.
    const auto *source = sink->findChild<QBuffer *>();
    if (state == QAudio::IdleState && source && source->atEnd() && !closing.isActive())
        closing.start(int(sink->format().durationForBytes(sink->bufferSize()) / 1000) + 100);
}

} // namespace gallows
