#include "pulse_cue_player.h"

#include "cues.h"
#include "paths.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace gallows {

namespace {

quint16 le16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }

WaveSound::Sample sampleKind(quint16 tag, quint16 bits)
{
    constexpr quint16 kPcm = 1, kFloat = 3;
    if (tag == kPcm && bits == 8)
        return WaveSound::Sample::UInt8;
    if (tag == kPcm && bits == 16)
        return WaveSound::Sample::Int16;
    if (tag == kPcm && bits == 32)
        return WaveSound::Sample::Int32;
    if (tag == kFloat && bits == 32)
        return WaveSound::Sample::Float;
    return WaveSound::Sample::None;
}

pa_sample_format_t serverFormat(WaveSound::Sample kind)
{
    switch (kind) {
    case WaveSound::Sample::UInt8: return PA_SAMPLE_U8;
    case WaveSound::Sample::Int16: return PA_SAMPLE_S16LE;
    case WaveSound::Sample::Int32: return PA_SAMPLE_S32LE;
    case WaveSound::Sample::Float: return PA_SAMPLE_FLOAT32LE;
    case WaveSound::Sample::None: break;
    }
    return PA_SAMPLE_INVALID;
}

} // namespace

// ---------------------------------------------------------------- wave files

int WaveSound::bytesPerFrame() const
{
    const int bytes = sample == Sample::UInt8 ? 1 : sample == Sample::Int16 ? 2 : sample == Sample::None ? 0 : 4;
    return bytes * channels;
}

int WaveSound::lengthMs() const
{
    return isNull() ? 0 : int(samples.size() / bytesPerFrame() * 1000 / rate);
}

WaveSound WaveSound::read(const QByteArray &file)
{
    WaveSound sound;
    const char *data = file.constData();
    const qsizetype size = file.size();
    if (size < 12 || file.first(4) != "RIFF" || file.sliced(8, 4) != "WAVE")
        return sound;

    WaveSound format;
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
            const quint16 blockAlign = le16(data + body + 12);
            const quint16 bits = le16(data + body + 14);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format.
            if (tag == 0xFFFE && present >= 26)
                tag = le16(data + body + 24);
            format.sample = sampleKind(tag, bits);
            format.channels = channels;
            format.rate = int(rate);
            if (format.sample == Sample::None || channels == 0 || channels > 8 || rate == 0 || rate > 384000
                || blockAlign != format.bytesPerFrame())
                return sound;
        } else if (id == "data" && format.sample != Sample::None) {
            // A file cut short plays what it holds, whole frames only.
            sound = format;
            sound.samples = file.sliced(body, present - present % format.bytesPerFrame());
            return sound;
        }
        at = body + length + (length & 1);
    }
    return sound;
}

// ---------------------------------------------------------------- the player

// What the client library's thread needs of the cue it sends: the samples
// and how far it has got. Touched only under the loop's lock.
struct PulseCuePlayer::Playback {
    QByteArray samples;
    qsizetype sent = 0;
    bool drained = false;

    // The server asks for more: send what is left of the cue, up to what it
    // asks for, and once all is sent let it play out to the end.
    static void writeMore(pa_stream *stream, size_t wanted, void *self)
    {
        auto *p = static_cast<Playback *>(self);
        const size_t n = std::min(wanted, size_t(p->samples.size() - p->sent));
        if (n > 0 && pa_stream_write(stream, p->samples.constData() + p->sent, n, nullptr, 0, PA_SEEK_RELATIVE) == 0)
            p->sent += qsizetype(n);
        if (p->sent == p->samples.size() && !p->drained) {
            p->drained = true;
            if (pa_operation *o = pa_stream_drain(stream, nullptr, nullptr))
                pa_operation_unref(o);
        }
    }
};

PulseCuePlayer::PulseCuePlayer(const QString &folder) : root(folder.isEmpty() ? dataRoot() : folder)
{
    // The twelve cues are small: read them all now, so that no cue waits for
    // the disk when the game first needs it. A missing file is looked for
    // again when it is played.
    for (const QString &cue : cueFiles())
        soundFor(cue);
    loop = pa_threaded_mainloop_new();
    if (!loop)
        return;
    connectToServer();
    if (pa_threaded_mainloop_start(loop) < 0) {
        pa_context_unref(context);
        context = nullptr;
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
    }
}

PulseCuePlayer::~PulseCuePlayer()
{
    stopCurrent();
    if (!loop)
        return;
    // Closing the connection does not wait for the server, whatever state it is in.
    pa_threaded_mainloop_lock(loop);
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    pa_threaded_mainloop_unlock(loop);
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
}

// Starts connecting; the client library's thread carries it on. Called
// before that thread runs, or under its lock.
void PulseCuePlayer::connectToServer()
{
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Tarvolin Gallows");
    if (context)
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
}

QStringList PulseCuePlayer::cueFiles()
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

int PulseCuePlayer::lengthMs(const QString &relativePath) const
{
    const auto it = sounds.constFind(relativePath);
    return it == sounds.constEnd() ? 0 : it->lengthMs();
}

const WaveSound *PulseCuePlayer::soundFor(const QString &relativePath)
{
    auto it = sounds.constFind(relativePath);
    if (it != sounds.constEnd())
        return &*it;
    QFile file(root + QLatin1Char('/') + relativePath);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    // A file that is there but is no sound is remembered as such: it stays
    // silent without being read again at every guess.
    return &*sounds.insert(relativePath, WaveSound::read(file.readAll()));
}

bool PulseCuePlayer::connected() const
{
    if (!loop)
        return false;
    pa_threaded_mainloop_lock(loop);
    const bool ready = context && pa_context_get_state(context) == PA_CONTEXT_READY;
    pa_threaded_mainloop_unlock(loop);
    return ready;
}

PulseCuePlayer::Stream PulseCuePlayer::stream() const
{
    if (!loop || !current)
        return Stream::None;
    pa_threaded_mainloop_lock(loop);
    const pa_stream_state_t state = pa_stream_get_state(current);
    pa_threaded_mainloop_unlock(loop);
    switch (state) {
    case PA_STREAM_READY: return Stream::Playing;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED: return Stream::Failed;
    default: return Stream::Starting;
    }
}

void PulseCuePlayer::stopCurrent()
{
    if (!current)
        return;
    // Under the lock the client library's thread is not in writeMore(), and
    // once the callback is gone it never will be again for this cue.
    pa_threaded_mainloop_lock(loop);
    pa_stream_set_write_callback(current, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(current)))
        pa_stream_disconnect(current); // drops whatever the server still holds of it
    pa_stream_unref(current);
    current = nullptr;
    pa_threaded_mainloop_unlock(loop);
    delete playback;
    playback = nullptr;
}

void PulseCuePlayer::play(const QString &relativePath)
{
    // Whatever happens to the new cue, the old one stops: one cue at a time.
    stopCurrent();
    const WaveSound *sound = soundFor(relativePath);
    if (!loop || !sound || sound->isNull())
        return;

    pa_threaded_mainloop_lock(loop);
    const pa_context_state_t state = context ? pa_context_get_state(context) : PA_CONTEXT_FAILED;
    if (!PA_CONTEXT_IS_GOOD(state)) {
        // No server, or it went away: this cue is silent, and a new
        // connection is tried for the ones that follow.
        if (context)
            pa_context_unref(context);
        connectToServer();
    } else if (state == PA_CONTEXT_READY) {
        const pa_sample_spec spec{serverFormat(sound->sample), uint32_t(sound->rate), uint8_t(sound->channels)};
        if (pa_stream *next = pa_stream_new(context, "cue", &spec, nullptr)) {
            playback = new Playback{sound->samples};
            pa_stream_set_write_callback(next, &Playback::writeMore, playback);
            // The server takes the whole cue at once, so that a busy game
            // cannot leave it short in the middle; a new cue cuts the old one
            // off whatever the server still holds of it.
            pa_buffer_attr buffer;
            buffer.maxlength = uint32_t(-1);
            buffer.tlength = uint32_t(sound->samples.size());
            buffer.prebuf = uint32_t(-1);
            buffer.minreq = uint32_t(-1);
            buffer.fragsize = uint32_t(-1);
            if (pa_stream_connect_playback(next, nullptr, &buffer, PA_STREAM_NOFLAGS, nullptr, nullptr) == 0) {
                current = next;
            } else {
                pa_stream_unref(next);
                delete playback;
                playback = nullptr;
            }
        }
    } // still connecting: this cue is silent
    pa_threaded_mainloop_unlock(loop);
}

} // namespace gallows
