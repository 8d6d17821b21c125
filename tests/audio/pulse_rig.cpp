#include "pulse_rig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace audiotest {

namespace {

QString socketPath(const QString &folder) { return folder + QStringLiteral("/native"); }

qint64 steadyMs()
{
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}

double dbfs(double amplitude) { return amplitude > 0 ? 20.0 * std::log10(amplitude / 32768.0) : -200.0; }

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

SoundServer::SoundServer() = default;

SoundServer::~SoundServer() { stop(); }

QProcessEnvironment SoundServer::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString base = dir.path();
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socketPath(base));
    env.insert(QStringLiteral("PULSE_CLIENTCONFIG"), base + QStringLiteral("/client.conf"));
    env.insert(QStringLiteral("PULSE_COOKIE"), base + QStringLiteral("/cookie"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), base + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("HOME"), base + QStringLiteral("/home"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
}

bool SoundServer::start(QString *why)
{
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
    if (pulseaudio.isEmpty() || pactl.isEmpty()) {
        *why = QStringLiteral("pulseaudio or pactl is not installed");
        return false;
    }
    if (!dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    const QString base = dir.path();
    QDir(base).mkpath(QStringLiteral("runtime"));
    QDir(base).mkpath(QStringLiteral("home"));
    QFile::setPermissions(base + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile conf(base + QStringLiteral("/client.conf"));
    if (!conf.open(QIODevice::WriteOnly) || conf.write("autospawn = no\n") < 0) {
        *why = QStringLiteral("cannot write the client configuration");
        return false;
    }
    conf.close();

    // As root the server only warns that it is not meant to run so; no
    // configuration file, just the two modules the tests need. Without
    // rewinds the monitor carries exactly what was played, from a stream's
    // first sample on.
    daemon.setProcessEnvironment(environment());
    daemon.setProcessChannelMode(QProcess::SeparateChannels);
    daemon.start(pulseaudio,
                 {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                  QStringLiteral("--disable-shm=yes"), QStringLiteral("--use-pid-file=no"),
                  QStringLiteral("-L"),
                  QStringLiteral("module-null-sink sink_name=%1 format=s16le rate=%2 channels=1 norewinds=1")
                      .arg(kSinkName)
                      .arg(kRate),
                  QStringLiteral("-L"),
                  QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socketPath(base)),
                  QStringLiteral("-F"), QStringLiteral("/dev/null")});
    if (!daemon.waitForStarted(5000)) {
        *why = QStringLiteral("pulseaudio does not start: ") + daemon.errorString();
        return false;
    }

    QElapsedTimer waited;
    waited.start();
    bool ready = false;
    while (!ready && daemon.state() == QProcess::Running && waited.elapsed() < 15000) {
        QProcess info;
        info.setProcessEnvironment(environment());
        info.start(pactl, {QStringLiteral("info")});
        ready = info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0;
        if (!ready)
            QTest::qWait(100);
    }
    if (!ready) {
        *why = QStringLiteral("pulseaudio does not answer: ")
               + QString::fromLocal8Bit(daemon.readAllStandardError()).trimmed();
        stop();
        return false;
    }

    // A stream of silence keeps the sink running, so that the monitor
    // delivers in step with the clock rather than in bursts.
    keepAlive.setProcessEnvironment(environment());
    keepAlive.start(QStandardPaths::findExecutable(QStringLiteral("pacat")),
                    {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                     QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                     QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), kSinkName,
                     QStringLiteral("/dev/zero")});
    if (!keepAlive.waitForStarted(5000)) {
        *why = QStringLiteral("pacat does not start");
        stop();
        return false;
    }
    return true;
}

void SoundServer::stop()
{
    end(keepAlive);
    end(daemon);
}

void SoundServer::kill()
{
    daemon.kill();
    daemon.waitForFinished(5000);
    end(keepAlive);
}

bool SoundServer::running() const { return daemon.state() != QProcess::NotRunning; }

Recorder::Recorder(const QProcessEnvironment &environment)
{
    parec.setProcessEnvironment(environment);
    QObject::connect(&parec, &QProcess::readyReadStandardOutput, [this] { take(); });
}

Recorder::~Recorder() { end(parec); }

void Recorder::take()
{
    data += parec.readAllStandardOutput();
    deliveries.append({steadyMs(), recorded()});
}

bool Recorder::start()
{
    parec.start(QStandardPaths::findExecutable(QStringLiteral("parec")),
                {QStringLiteral("-d"), kSinkName + QStringLiteral(".monitor"), QStringLiteral("--format=s16le"),
                 QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                 QStringLiteral("--latency-msec=10")});
    return parec.waitForStarted(5000) && QTest::qWaitFor([this] { return recorded() > 0; }, 5000);
}

bool Recorder::recordMore(int ms, int timeoutMs)
{
    const qsizetype goal = recorded() + qsizetype(ms) * kRate / 1000;
    return QTest::qWaitFor([&] { return recorded() >= goal; }, timeoutMs);
}

Samples Recorder::stop()
{
    end(parec);
    Samples samples(recorded());
    std::memcpy(samples.data(), data.constData(), size_t(samples.size()) * 2);
    return samples;
}

double Recorder::clockOf(qsizetype sample) const
{
    double best = std::numeric_limits<double>::infinity();
    for (const auto &[clock, total] : deliveries)
        if (total > sample)
            best = std::min(best, double(clock) - double(total - sample) * 1000.0 / kRate);
    return best;
}

Samples readCue(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = file.readAll();
    // RIFF, WAVE, a 16-byte "fmt " chunk of 16-bit mono PCM, then "data".
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 8) != "WAVEfmt " || b.mid(36, 4) != "data")
        return {};
    const char *p = b.constData();
    if (qFromLittleEndian<quint16>(p + 20) != 1 || qFromLittleEndian<quint16>(p + 22) != 1
        || qFromLittleEndian<quint32>(p + 24) != quint32(kRate) || qFromLittleEndian<quint16>(p + 34) != 16)
        return {};
    const qsizetype count = std::min<qsizetype>(qFromLittleEndian<quint32>(p + 40), b.size() - 44) / 2;
    Samples samples(count);
    for (qsizetype i = 0; i < count; ++i)
        samples[i] = qFromLittleEndian<qint16>(p + 44 + 2 * i);
    return samples;
}

Levels measure(const Samples &s)
{
    Levels m;
    int peak = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == 0)
            continue;
        if (m.first < 0)
            m.first = i;
        m.last = i;
        peak = std::max(peak, std::abs(int(s[i])));
    }
    if (m.first < 0)
        return m;
    double energy = 0;
    for (qsizetype i = m.first; i <= m.last; ++i)
        energy += double(s[i]) * s[i];
    m.peakDb = dbfs(peak);
    m.rmsDb = dbfs(std::sqrt(energy / double(m.last - m.first + 1)));
    return m;
}

} // namespace audiotest
