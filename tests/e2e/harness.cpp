#include "harness.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace gallows::e2e {

namespace {

// Children that must not outlive the test program, even when it is killed
// by a time-out: the kernel sends them `signal` when we go.
void dieWithParent(QProcess &process, int signal)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([signal, parent] {
        ::prctl(PR_SET_PDEATHSIG, signal);
        if (::getppid() != parent) // gone before the line above took effect
            ::_exit(127);
    });
}

bool copyTree(const QString &from, const QString &to, QString *why)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int copied = 0;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target)) {
            *why = QStringLiteral("cannot copy %1 to %2").arg(source, target);
            return false;
        }
        ++copied;
    }
    if (copied == 0) {
        *why = QStringLiteral("%1 holds no files; build the gallows_data target first").arg(from);
        return false;
    }
    return true;
}

bool writeBytes(const QString &path, const QByteArray &bytes, QString *why)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString screenshotFolder()
{
    const QString dir = qEnvironmentVariable("GALLOWS_SCREENSHOTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir;
}

QString counters(int won, int lost, int gaveUp, int total)
{
    return QStringLiteral("GamesWon=%1 GamesLost=%2 GamesGiveUp=%3 GamesTotal=%4")
        .arg(won)
        .arg(lost)
        .arg(gaveUp)
        .arg(total);
}

QString countersIn(const QMap<QString, QString> &settings)
{
    QStringList parts;
    for (const char *key : {"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal"})
        parts << QStringLiteral("%1=%2").arg(QLatin1String(key),
                                             settings.value(QLatin1String(key), QStringLiteral("<missing>")));
    return parts.join(QLatin1Char(' '));
}

QByteArray gamesCsv(const QStringList &titles)
{
    QString csv = QStringLiteral("GameID,Title,Year,Genre,Publisher,Developer\n");
    for (int i = 0; i < titles.size(); ++i)
        csv += QStringLiteral("%1,%2,1984,Space Trading,Tarvolin Test House,Two Coders\n")
                   .arg(i + 1)
                   .arg(csvField(titles[i]));
    return csv.toUtf8();
}

void idle(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// ---------------------------------------------------------------- XServer

XServer::~XServer() { stop(); }

bool XServer::start(QString *why, int timeoutMs)
{
    stop();
    process = std::make_unique<QProcess>();
    dieWithParent(*process, SIGTERM);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(QProcess::nullDevice());
    // The server picks a free display itself and writes its number to
    // standard output (descriptor 1) once it accepts clients.
    process->start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!process->waitForStarted(timeoutMs)) {
        *why = QStringLiteral("Xvfb did not start: %1").arg(process->errorString());
        return false;
    }
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (process->state() == QProcess::NotRunning)
            break;
        process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += process->readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!out.contains('\n') || !ok) {
        *why = QStringLiteral("Xvfb gave no display number (output \"%1\")").arg(QString::fromLatin1(out));
        stop();
        return false;
    }
    name = QStringLiteral(":%1").arg(number);
    return true;
}

void XServer::stop()
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate(); // lets Xvfb remove its lock file and socket
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    process.reset();
    name.clear();
}

// ---------------------------------------------------------------- ProgramFolder

ProgramFolder::ProgramFolder() : dir(QDir::tempPath() + QStringLiteral("/gallows-e2e-program-XXXXXX")) {}

QString ProgramFolder::programPath() const { return dir.filePath(QStringLiteral("gallows")); }

QString ProgramFolder::cataloguePath() const { return dir.filePath(QStringLiteral("Data/bsk.cab")); }

bool ProgramFolder::populate(QString *why)
{
    if (!dir.isValid()) {
        *why = QStringLiteral("no temporary program folder: %1").arg(dir.errorString());
        return false;
    }
    for (const QString &source : {QStringLiteral(GALLOWS_PROGRAM), QStringLiteral(GALLOWS_READER_PART),
                                 QStringLiteral(GALLOWS_CUE_PART)}) {
        const QString target = dir.filePath(QFileInfo(source).fileName());
        if (!QFile::copy(source, target)) {
            *why = QStringLiteral("cannot copy %1").arg(source);
            return false;
        }
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return copyTree(QStringLiteral(GALLOWS_BUILD_DATA "/Gallows"), dir.filePath(QStringLiteral("Data/Gallows")),
                    why);
}

bool ProgramFolder::writeCatalogue(const QByteArray &csv, QString *why, const QString &key)
{
    const QString source = dir.filePath(QStringLiteral("games.csv"));
    if (!writeBytes(source, csv, why))
        return false;
    QDir().mkpath(QFileInfo(cataloguePath()).path());
    QStringList args;
    if (!key.isEmpty())
        args << QStringLiteral("--key") << key;
    args << QStringLiteral("import") << source << cataloguePath();
    QProcess tool;
    tool.start(QStringLiteral(GALLOWS_CATALOGUE_TOOL), args);
    const bool finished = tool.waitForFinished(30000);
    QFile::remove(source);
    if (!finished || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        *why = QStringLiteral("gallows-catalogue import failed: %1")
                   .arg(QString::fromLocal8Bit(tool.readAllStandardError()));
        return false;
    }
    return true;
}

bool ProgramFolder::writeCatalogueBytes(const QByteArray &bytes, QString *why)
{
    return writeBytes(cataloguePath(), bytes, why);
}

// ---------------------------------------------------------------- UserFolders

UserFolders::UserFolders()
    : config(QDir::tempPath() + QStringLiteral("/gallows-e2e-config-XXXXXX")),
      runtime(QDir::tempPath() + QStringLiteral("/gallows-e2e-runtime-XXXXXX"))
{
    // Qt refuses a runtime folder anyone else may enter.
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::setPermissions(config.path(), owner);
    QFile::setPermissions(runtime.path(), owner);
}

bool UserFolders::isValid() const { return config.isValid() && runtime.isValid(); }

QString UserFolders::settingsFile() const { return config.filePath(QStringLiteral("Tarvolin.conf")); }

QMap<QString, QString> UserFolders::settings() const
{
    QMap<QString, QString> values;
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    bool inSection = false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1String("[Gallows]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0)
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

bool UserFolders::seedSettings(const QMap<QString, QString> &values)
{
    QString text = QStringLiteral("[Gallows]\n");
    for (auto it = values.begin(); it != values.end(); ++it)
        text += it.key() + QLatin1Char('=') + it.value() + QLatin1Char('\n');
    QString why;
    return writeBytes(settingsFile(), text.toUtf8(), &why);
}

QStringList UserFolders::configEntries() const
{
    return QDir(config.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// ---------------------------------------------------------------- GameProcess

GameProcess::GameProcess() : process(std::make_unique<QProcess>()) {}

GameProcess::~GameProcess()
{
    if (running())
        killHard();
}

bool GameProcess::start(const ProgramFolder &folder, const UserFolders &user, const XServer &x, QString *why)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), user.configHome());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), user.runtimeDir());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), user.cacheHome());
    env.remove(QStringLiteral("SESSION_MANAGER"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    for (auto it = extraEnvironment.begin(); it != extraEnvironment.end(); ++it)
        env.insert(it.key(), it.value());
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(folder.path());
    process->setStandardOutputFile(QProcess::nullDevice());
    dieWithParent(*process, SIGKILL);
    stderrBytes.clear();
    if (launcher.isEmpty())
        process->start(folder.programPath(), {});
    else
        process->start(launcher.first(), launcher.mid(1) << folder.programPath());
    if (!process->waitForStarted(10000)) {
        *why = QStringLiteral("gallows did not start: %1").arg(process->errorString());
        return false;
    }
    return true;
}

bool GameProcess::waitForExit(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (running() && !deadline.hasExpired()) {
        process->waitForFinished(50);
        stderrBytes += process->readAllStandardError();
    }
    stderrBytes += process->readAllStandardError();
    return !running();
}

void GameProcess::killHard()
{
    if (!running())
        return;
    ::kill(pid_t(process->processId()), SIGKILL);
    process->waitForFinished(5000);
    stderrBytes += process->readAllStandardError();
}

bool GameProcess::exitedNormally() const
{
    return process->state() == QProcess::NotRunning && process->exitStatus() == QProcess::NormalExit;
}

QString GameProcess::errorOutput()
{
    stderrBytes += process->readAllStandardError();
    return QString::fromLocal8Bit(stderrBytes);
}

// ---------------------------------------------------------------- Desktop

QProcessEnvironment Desktop::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server.display());
    return env;
}

bool Desktop::xdotool(const QStringList &args, QString *out, int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(environment());
    dieWithParent(tool, SIGKILL);
    tool.start(QStringLiteral("xdotool"), args);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(2000);
        qWarning("xdotool %s: no answer within %d ms", qPrintable(args.join(QLatin1Char(' '))), timeoutMs);
        return false;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        // `search` finding nothing is an answer, not a failure.
        if (args.value(0) != QLatin1String("search"))
            qWarning("xdotool %s failed: %s", qPrintable(args.join(QLatin1Char(' '))),
                     qPrintable(QString::fromLocal8Bit(tool.readAllStandardError()).trimmed()));
        return false;
    }
    if (out)
        *out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    return true;
}

static QString exactTitle(const QString &title)
{
    return QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
}

QStringList Desktop::windows(const QString &title, bool onlyVisible) const
{
    QStringList args{QStringLiteral("search")};
    if (onlyVisible)
        args << QStringLiteral("--onlyvisible");
    args << QStringLiteral("--name") << exactTitle(title);
    QString out;
    xdotool(args, &out);
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString Desktop::waitForWindow(const QString &title, int timeoutMs) const
{
    QString out;
    xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"), exactTitle(title)},
            &out, timeoutMs);
    const QStringList ids = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return ids.isEmpty() ? QString() : ids.first();
}

QRect Desktop::geometry(const QString &window) const
{
    QString out;
    if (!xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window}, &out))
        return QRect();
    QMap<QString, int> v;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            v.insert(line.left(eq), line.mid(eq + 1).toInt());
    }
    if (!v.contains(QStringLiteral("WIDTH")))
        return QRect();
    return QRect(v.value(QStringLiteral("X")), v.value(QStringLiteral("Y")), v.value(QStringLiteral("WIDTH")),
                 v.value(QStringLiteral("HEIGHT")));
}

bool Desktop::focus(const QString &window) const
{
    // No window manager here: set the X input focus directly.
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
}

bool Desktop::type(const QString &text, int delayMs) const
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMs),
                    QStringLiteral("--"), text},
                   nullptr, 5000 + int(text.size()) * delayMs);
}

bool Desktop::key(const QString &keys, int delayMs) const
{
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QString::number(delayMs),
                     QStringLiteral("--")};
    args += keys.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return xdotool(args);
}

bool Desktop::guessLetters(const QString &letters) const
{
    // One xdotool for the lot (`type` would swallow the rest of a chained
    // command line): each letter by its key name, then Return.
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("--")};
    for (const QChar c : letters)
        args << QString(c) << QStringLiteral("Return");
    return xdotool(args, nullptr, 5000 + int(letters.size()) * 100);
}

bool Desktop::screenshot(const QString &path, const QString &window) const
{
    QProcess import;
    import.setProcessEnvironment(environment());
    dieWithParent(import, SIGKILL);
    import.start(QStringLiteral("import"), {QStringLiteral("-window"), window, path});
    if (!import.waitForFinished(15000)) {
        import.kill();
        import.waitForFinished(2000);
        return false;
    }
    return import.exitStatus() == QProcess::NormalExit && import.exitCode() == 0 && QFileInfo(path).size() > 0;
}

} // namespace gallows::e2e
