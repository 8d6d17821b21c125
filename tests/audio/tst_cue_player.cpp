// The cue player against a real sound server: a private PulseAudio whose null
// sink is recorded while the player works. In this process: a cue reaches the
// sink whole, and a new cue cuts the old one off. In a process of its own
// (cue_probe): no server means silence, not a hang; and the server dying while
// a cue starts or plays hangs neither the game's thread nor the exit.

#include "qt_cue_player.h"

#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstring>

using gallows::QtCuePlayer;

namespace {

// The sink's format is the cues' (22050 Hz, 16-bit mono): nothing is
// resampled, so a cue comes back sample for sample.
constexpr int kRate = 22050;
using Samples = QList<qint16>;

QString programFolder() { return QCoreApplication::applicationDirPath(); }

void end(QProcess &process) { process.kill(); process.waitForFinished(5000); }

Samples toSamples(const QByteArray &bytes)
{
    Samples s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.constData(), size_t(s.size()) * 2);
    return s;
}

// A cue file's samples (the generator writes a 44-byte header).
Samples cue(const char *name)
{
    QFile file(programFolder() + "/Data/Gallows/Sounds/" + name);
    return file.open(QIODevice::ReadOnly) ? toSamples(file.readAll().mid(44)) : Samples();
}

// The first and last sample that is not zero; (-1, -1) for silence.
std::pair<qsizetype, qsizetype> soundSpan(const Samples &s)
{
    const auto sounding = [](qint16 v) { return v != 0; };
    const auto first = std::find_if(s.begin(), s.end(), sounding);
    if (first == s.end())
        return {-1, -1};
    return {first - s.begin(), s.rend() - std::find_if(s.rbegin(), s.rend(), sounding) - 1};
}

qsizetype spanLength(const Samples &s)
{
    const auto [first, last] = soundSpan(s);
    return first < 0 ? 0 : last - first + 1;
}

// Where `sound`'s span sits at the very end of the recording's sound, or -1.
qsizetype endsWith(const Samples &recording, const Samples &sound)
{
    const auto [first, last] = soundSpan(sound);
    const qsizetype at = soundSpan(recording).second - (last - first);
    if (first < 0 || at < 0)
        return -1;
    return std::equal(sound.begin() + first, sound.begin() + last + 1, recording.begin() + at) ? at : -1;
}

// A private server with one null sink; a stream of silence keeps the sink
// running, so that its monitor delivers in step with the clock.
struct SoundServer {
    QTemporaryDir dir;
    QProcess daemon, keepAlive;
    ~SoundServer() { ::kill(pid_t(daemon.processId()), SIGCONT); end(keepAlive); end(daemon); }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), "unix:" + dir.path() + "/native");
        env.insert(QStringLiteral("PULSE_CLIENTCONFIG"), dir.path() + "/client.conf");
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        return env;
    }
    bool start()
    {
        QFile conf(dir.path() + "/client.conf");
        if (!conf.open(QIODevice::WriteOnly) || conf.write("autospawn = no\n") < 0)
            return false;
        conf.close();
        // As root it only warns. Without rewinds the monitor carries exactly what was played.
        daemon.setProcessEnvironment(environment());
        daemon.start(QStringLiteral("pulseaudio"),
                     {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes", "--use-pid-file=no",
                      "-F", "/dev/null", "-L",
                      "module-null-sink sink_name=gallows_test format=s16le rate=22050 channels=1 norewinds=1",
                      "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + dir.path() + "/native"});
        keepAlive.setProcessEnvironment(environment());
        // pacat ends at once while the server does not answer yet: ready once it stays.
        return daemon.waitForStarted(5000) && QTest::qWaitFor([&] {
            if (keepAlive.state() == QProcess::NotRunning)
                keepAlive.start(QStringLiteral("pacat"), {"--raw", "--format=s16le", "--rate=22050", "--channels=1",
                                                          "--latency-msec=10", "/dev/zero"});
            return keepAlive.waitForFinished(100) ? false : daemon.state() == QProcess::Running;
        }, 15000);
    }
};

// Records the sink's monitor from the moment it is made.
struct Recorder {
    QProcess parec;
    QByteArray data;
    explicit Recorder(const QProcessEnvironment &env)
    {
        QObject::connect(&parec, &QProcess::readyReadStandardOutput, [this] { data += parec.readAllStandardOutput(); });
        parec.setProcessEnvironment(env);
        parec.start(QStringLiteral("parec"), {"-d", "gallows_test.monitor", "--format=s16le", "--rate=22050",
                                              "--channels=1", "--latency-msec=10"});
    }
    ~Recorder() { end(parec); }
    bool started() { return QTest::qWaitFor([this] { return data.size() >= 2; }, 5000); }
    Samples samples() const { return toSamples(data); }
};

// The player in a process of its own, spoken to line by line.
struct Probe {
    QProcess process;
    QByteArray out;
    explicit Probe(const QProcessEnvironment &env)
    {
        process.setProcessEnvironment(env);
        process.start(programFolder() + QStringLiteral("/cue_probe"));
    }
    ~Probe() { end(process); }
    void send(const QByteArray &line) { process.write(line + '\n'); }
    bool saidNow(const QByteArray &line)
    {
        out += process.readAllStandardOutput();
        return out.split('\n').contains(line);
    }
    bool said(const QByteArray &line) { return QTest::qWaitFor([&] { return saidNow(line); }, 10000); }
    // Asked to quit, it ends normally within the deadline (a hang is killed).
    QString quits()
    {
        send("quit");
        if (!process.waitForFinished(10000))
            return QStringLiteral("still running 10 s after quit: hung");
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !saidNow("bye"))
            return QStringLiteral("crashed or failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return QString();
    }
};

} // namespace

class CuePlayerTest : public QObject {
    Q_OBJECT
    SoundServer server;

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.daemon.readAllStandardError()));
        // This process plays through the private server too.
        for (const char *name : {"PULSE_SERVER", "PULSE_CLIENTCONFIG"})
            qputenv(name, server.environment().value(QString::fromLatin1(name)).toLocal8Bit());
    }

    // A cue reaches the sink whole: from its first sound to its last the
    // recording is the file, sample for sample. A cue played over another
    // cuts it off: the start of the first, then silence, then the whole second.
    void cuesReachTheSink_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second"); // empty: the first plays alone
        QTest::newRow("correct1 whole") << "correct1.wav" << "";
        QTest::newRow("giveup1 whole") << "giveup1.wav" << "";
        QTest::newRow("lose1 cut by win1") << "lose1.wav" << "win1.wav";
    }
    void cuesReachTheSink()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        const Samples one = cue(qPrintable(first)), two = cue(qPrintable(second.isEmpty() ? first : second));
        QVERIFY(spanLength(one) > kRate / 5 && spanLength(two) > 0);
        QtCuePlayer player(programFolder());
        Recorder recorder(server.environment());
        QVERIFY(recorder.started());
        player.play("Data/Gallows/Sounds/" + first);
        if (!second.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(spanLength(recorder.samples()) >= kRate / 10, 5000);
            player.play("Data/Gallows/Sounds/" + second);
        }
        QTRY_VERIFY_WITH_TIMEOUT(endsWith(recorder.samples(), two) >= 0, 10000);
        const Samples recording = recorder.samples();
        const auto start = recording.begin() + soundSpan(recording).first;
        const qsizetype heard = std::mismatch(start, recording.end(), one.begin() + soundSpan(one).first, one.end()).first - start;
        if (second.isEmpty()) {
            QCOMPARE(spanLength(recording), spanLength(one)); // nothing before it, nothing lost
            return;
        }
        QVERIFY2(heard >= kRate / 10, "the first cue was not heard");
        QVERIFY2(heard < spanLength(one), "the first cue played to its end");
        QVERIFY2(std::all_of(start + heard, recording.begin() + endsWith(recording, two),
                             [](qint16 v) { return v == 0; }),
                 "something sounded between the cut and the second cue");
    }

    // No server at all: every cue is silent, play() returns, the player ends.
    void noServerMeansSilence()
    {
        QProcessEnvironment env = server.environment();
        env.insert(QStringLiteral("PULSE_SERVER"), "unix:" + server.dir.path() + "/nobody-here");
        Probe probe(env);
        for (const QString &file : QtCuePlayer::cueFiles()) {
            const QByteArray name = file.section(QLatin1Char('/'), -1).toUtf8();
            probe.send("play " + name);
            QVERIFY(probe.said("sent " + name));
        }
        const QString why = probe.quits();
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QVERIFY2(!probe.out.contains(" playing\n"), probe.out.constData());
    }

    // The server is killed while a cue starts (stopped first, it never
    // answers the new stream, and the player's thread waits in the sink) or
    // while one plays (part of it heard, not all): play() still returns at
    // once, and the player ends cleanly and promptly.
    void serverDies_data()
    {
        QTest::addColumn<bool>("whileStarting");
        QTest::newRow("while a cue starts") << true;
        QTest::newRow("while a cue plays") << false;
    }
    void serverDies()
    {
        QFETCH(bool, whileStarting);
        SoundServer doomed;
        QVERIFY2(doomed.start(), qPrintable(doomed.daemon.readAllStandardError()));
        Recorder recorder(doomed.environment());
        QVERIFY(recorder.started());
        Probe probe(doomed.environment());
        const QByteArray victim = whileStarting ? "win1.wav" : "lose1.wav";
        if (whileStarting) {
            probe.send("play correct1.wav");
            QVERIFY(probe.said("stage correct1.wav playing")); // it reaches the server
            QVERIFY(probe.said("stage correct1.wav idle")); // and is done with it
            ::kill(pid_t(doomed.daemon.processId()), SIGSTOP); // it stops answering
        }
        probe.send("play " + victim);
        QVERIFY2(probe.said("sent " + victim), "play() did not return: the game's thread hangs");
        QVERIFY(probe.said("stage " + victim + (whileStarting ? " opening" : " playing")));
        if (!whileStarting) // some of it heard
            QTRY_VERIFY_WITH_TIMEOUT(spanLength(recorder.samples()) >= kRate / 10, 5000);
        end(doomed.daemon); // SIGKILL, as a crash would
        if (whileStarting) // the sink never got its stream
            QVERIFY2(!probe.saidNow("stage " + victim + " playing"), "it had started");
        else // the server died before the cue's end
            QVERIFY(spanLength(recorder.samples()) < spanLength(cue(victim.constData())));
        probe.send("play giveup1.wav");
        QVERIFY(probe.said("sent giveup1.wav"));
        const QString why = probe.quits();
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(CuePlayerTest)
#include "tst_cue_player.moc"
