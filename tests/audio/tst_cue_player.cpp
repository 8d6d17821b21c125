// The cue player against a private PulseAudio server whose null sink is recorded: a new cue
// cuts the old one off and plays whole; and, in a process of its own (this program with
// "probe"), no server, or one that stops or dies under a cue, hangs neither play() nor the exit.

#include "sound/qt_cue_player.h"

#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

using gallows::QtCuePlayer;

namespace {

// The sink has the cues' format (22050 Hz, 16-bit mono): a cue comes back sample for sample.
constexpr int kRate = 22050;
using Samples = QList<qint16>;
const QString kCues = QStringLiteral("Data/Gallows/Sounds/");

void end(QProcess &process) { process.kill(); process.waitForFinished(5000); }

Samples toSamples(const QByteArray &bytes)
{
    Samples s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.constData(), size_t(s.size()) * 2);
    return s;
}

// A cue file's samples, past the generator's 44-byte header.
Samples cue(const QString &name)
{
    QFile file(QCoreApplication::applicationDirPath() + '/' + kCues + name);
    return file.open(QIODevice::ReadOnly) ? toSamples(file.readAll().mid(44)) : Samples();
}

// From the first sample that is not zero to one past the last; {0, 0} for silence.
std::pair<qsizetype, qsizetype> span(const Samples &s)
{
    const auto sounding = [](qint16 v) { return v != 0; };
    const qsizetype first = std::find_if(s.begin(), s.end(), sounding) - s.begin();
    if (first == s.size())
        return {0, 0};
    return {first, s.rend() - std::find_if(s.rbegin(), s.rend(), sounding)};
}

qsizetype spanLength(const Samples &s) { return span(s).second - span(s).first; }

// Where `sound`'s span sits at the very end of the recording's sound, or -1.
qsizetype endsWith(const Samples &recording, const Samples &sound)
{
    const auto [first, last] = span(sound);
    const qsizetype at = span(recording).second - (last - first);
    return first < last && at >= 0 && std::equal(sound.begin() + first, sound.begin() + last, recording.begin() + at)
        ? at : -1;
}

// A private server with one null sink; a stream of silence keeps the sink
// running, so that its monitor delivers in step with the clock.
struct SoundServer {
    QTemporaryDir dir;
    QProcess daemon, keepAlive;
    ~SoundServer() { end(keepAlive); end(daemon); }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), "unix:" + dir.path() + "/native");
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        return env;
    }
    bool start()
    {
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

// A program whose output is gathered as it comes; killed when it goes.
struct Child {
    QProcess process;
    QByteArray out;
    Child(const QProcessEnvironment &env, const QString &program, const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { out += process.readAllStandardOutput(); });
        process.setProcessEnvironment(env);
        process.start(program, arguments);
    }
    ~Child() { end(process); }
    bool said(const QByteArray &line) const { return out.split('\n').contains(line); }
    bool says(const QByteArray &line) { return QTest::qWaitFor([&] { return said(line); }, 10000); }
    void send(const QByteArray &line) { process.write(line + '\n'); }
};

// Records the sink's monitor from the moment it is made.
struct Recorder : Child {
    explicit Recorder(const QProcessEnvironment &env)
        : Child(env, QStringLiteral("parec"), {"-d", "gallows_test.monitor", "--format=s16le", "--rate=22050",
                                              "--channels=1", "--latency-msec=10"}) {}
    bool started() // false at once without a server
    {
        return QTest::qWaitFor([this] { return out.size() >= 2 || process.state() == QProcess::NotRunning; }, 5000)
            && out.size() >= 2;
    }
    Samples samples() const { return toSamples(out); }
};

} // namespace

class CuePlayerTest : public QObject {
    Q_OBJECT
    SoundServer server;

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.daemon.readAllStandardError()));
        qputenv("PULSE_SERVER", server.environment().value("PULSE_SERVER").toLocal8Bit()); // this process too
    }

    // A cue played over another cuts it off: the start of the first, then
    // silence, then the second whole, sample for sample from its first sound to its last.
    void aNewCueCutsTheOldAndPlaysWhole()
    {
        const Samples one = cue("lose1.wav"), two = cue("win1.wav");
        QVERIFY(spanLength(one) > kRate / 5 && spanLength(two) > 0);
        QtCuePlayer player(QCoreApplication::applicationDirPath());
        Recorder recorder(server.environment());
        QVERIFY(recorder.started());
        player.play(kCues + "lose1.wav");
        QTRY_VERIFY_WITH_TIMEOUT(spanLength(recorder.samples()) >= kRate / 10, 5000);
        player.play(kCues + "win1.wav");
        QTRY_VERIFY_WITH_TIMEOUT(endsWith(recorder.samples(), two) >= 0, 10000);
        const Samples recording = recorder.samples();
        const auto start = recording.begin() + span(recording).first;
        const qsizetype heard = std::mismatch(start, recording.end(), one.begin() + span(one).first, one.end()).first - start;
        QVERIFY2(heard >= kRate / 10, "the first cue was not heard");
        QVERIFY2(heard < spanLength(one), "the first cue played to its end");
        QVERIFY2(std::all_of(start + heard, recording.begin() + endsWith(recording, two),
                             [](qint16 v) { return v == 0; }),
                 "something sounded between the cut and the second cue");
    }

    // No server (the player's thread stays free); one that stops answering as a cue starts (the
    // thread then waits in the sink for good) and is killed; or one killed while a cue plays
    // (the thread may or may not get stuck): play() still returns, and the player ends cleanly.
    void serverTrouble_data()
    {
        QTest::addColumn<QByteArray>("trouble");
        QTest::newRow("no server") << QByteArray("none");
        QTest::newRow("server stops as a cue starts") << QByteArray("stops");
        QTest::newRow("server dies while a cue plays") << QByteArray("dies");
    }
    void serverTrouble()
    {
        QFETCH(QByteArray, trouble);
        SoundServer doomed;
        if (trouble != "none")
            QVERIFY2(doomed.start(), qPrintable(doomed.daemon.readAllStandardError()));
        Recorder recorder(doomed.environment());
        QCOMPARE(recorder.started(), trouble != "none");
        Child probe(doomed.environment(), QCoreApplication::applicationFilePath(), {QStringLiteral("probe")});
        const QByteArray victim = trouble == "dies" ? "lose1.wav" : "win1.wav";
        if (trouble == "stops") {
            probe.send("play correct1.wav");
            QVERIFY(probe.says("stage correct1.wav playing")); // it reaches the server
            QVERIFY(probe.says("stage correct1.wav idle")); // and is done with it
            ::kill(pid_t(doomed.daemon.processId()), SIGSTOP); // it stops answering
        }
        probe.send("play " + victim);
        QVERIFY2(probe.says("sent " + victim), "play() did not return: the game's thread hangs");
        if (trouble == "stops") {
            QVERIFY(probe.says("stage " + victim + " opening"));
            end(doomed.daemon); // SIGKILL, as a crash would
        } else if (trouble == "dies") {
            QVERIFY(probe.says("stage " + victim + " playing"));
            QTRY_VERIFY_WITH_TIMEOUT(spanLength(recorder.samples()) >= kRate / 10, 5000); // some of it heard
            end(doomed.daemon);
            QVERIFY2(spanLength(recorder.samples()) < spanLength(cue(victim)), "the server died after the cue's end");
        }
        probe.send("play giveup1.wav");
        QVERIFY(probe.says("sent giveup1.wav"));
        probe.send("quit"); // it ends normally and promptly: a hang is killed
        QVERIFY2(probe.process.waitForFinished(10000), "still running 10 s after quit: hung");
        QVERIFY2(probe.process.exitStatus() == QProcess::NormalExit && probe.process.exitCode() == 0
                     && probe.said("bye"), probe.process.readAllStandardError().constData());
        QVERIFY2(trouble == "dies" || probe.said(trouble == "stops" ? "quit stuck" : "quit idle"), probe.out.constData());
        QVERIFY2(trouble != "none" || !probe.out.contains(" playing\n"), probe.out.constData()); // silence
    }
};

// The probe: the game's player driven from standard input ("play CUE", "quit"). It says "sent
// CUE" when play() has returned, "stage CUE STAGE" when the player's thread is somewhere new
// with the last cue, "quit idle|stuck" and "bye" once the player is gone.
int probe(QCoreApplication &app)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    auto player = std::make_unique<QtCuePlayer>(QCoreApplication::applicationDirPath());
    const char *const names[] = {"idle", "opening", "playing"};
    QByteArray last;
    QtCuePlayer::Stage lastStage = QtCuePlayer::Stage::Idle;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (player->stage() != lastStage)
            printf("stage %s %s\n", last.constData(), names[int(lastStage = player->stage())]);
    });
    watch.start(5);
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier lines(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&lines, &QSocketNotifier::activated, [&] {
        const QByteArray line = input.readLine().trimmed();
        if (!line.startsWith("play ")) { // quit, or the end of the input: says whether the thread is done first
            printf("quit %s\n", QTest::qWaitFor([&] { return player->stage() == QtCuePlayer::Stage::Idle; }, 2000)
                       ? "idle" : "stuck");
            return app.quit();
        }
        player->play(kCues + QString::fromUtf8(last = line.mid(5)));
        printf("sent %s\n", last.constData());
    });
    app.exec();
    player.reset();
    printf("bye\n");
    return 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "probe") == 0)
        return probe(app);
    CuePlayerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cue_player.moc"
