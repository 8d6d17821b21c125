#include "harness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace gallows::e2e {

namespace {

// Children must not outlive the test program, even when it is killed.
void dieWithParent(QProcess &process, int signal)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([signal, parent] {
        ::prctl(PR_SET_PDEATHSIG, signal);
        if (::getppid() != parent)
            ::_exit(127);
    });
}

bool copyFile(const QString &from, const QString &to, QString *why)
{
    QDir().mkpath(QFileInfo(to).path());
    if (QFile::copy(from, to))
        return true;
    *why = QStringLiteral("cannot copy %1 to %2").arg(from, to);
    return false;
}

} // namespace

QByteArray gamesCsv(const QStringList &titles)
{
    QString csv = QStringLiteral("GameID,Title,Year,Genre,Publisher,Developer\n");
    for (int i = 0; i < titles.size(); ++i)
        csv += QStringLiteral("%1,\"%2\",1984,simulation,Tarvolin Test House,Two Coders\n")
                   .arg(i + 1)
                   .arg(QString(titles[i]).replace(QLatin1Char('"'), QStringLiteral("\"\"")));
    return csv.toUtf8();
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

XServer::~XServer()
{
    if (process) {
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
    }
}

bool XServer::start(QString *why)
{
    process = std::make_unique<QProcess>();
    dieWithParent(*process, SIGTERM);
    process->setStandardErrorFile(QProcess::nullDevice());
    // The server picks a free display and writes its number once it accepts clients.
    process->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                            QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray out;
    waitFor([&] {
        process->waitForReadyRead(50);
        out += process->readAllStandardOutput();
        return out.contains('\n') || process->state() == QProcess::NotRunning;
    }, 15000);
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ok) {
        *why = QStringLiteral("Xvfb gave no display number (\"%1\")").arg(QString::fromLatin1(out));
        return false;
    }
    name = QStringLiteral(":%1").arg(number);
    return true;
}

bool ProgramFolder::populate(QString *why)
{
    for (const QString &source : {QStringLiteral(GALLOWS_PROGRAM), QStringLiteral(GALLOWS_READER_PART),
                                  QStringLiteral(GALLOWS_CUE_PART)})
        if (!copyFile(source, dir.filePath(QFileInfo(source).fileName()), why))
            return false;
    QFile::setPermissions(dir.filePath(QStringLiteral("gallows")), QFile::ReadOwner | QFile::ExeOwner);
    const QString media = QStringLiteral(GALLOWS_BUILD_DATA "/Gallows");
    QDirIterator it(media, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        if (!copyFile(source, dir.filePath(QStringLiteral("Data/Gallows/") + QDir(media).relativeFilePath(source)), why))
            return false;
    }
    return true;
}

bool ProgramFolder::writeCatalogue(const QByteArray &csv, QString *why, const QString &key)
{
    const QString source = dir.filePath(QStringLiteral("games.csv"));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) {
        *why = file.errorString();
        return false;
    }
    file.close();
    QDir().mkpath(dir.filePath(QStringLiteral("Data")));
    QProcess tool;
    tool.start(QStringLiteral(GALLOWS_CATALOGUE_TOOL),
               (key.isEmpty() ? QStringList() : QStringList{QStringLiteral("--key"), key})
                   << QStringLiteral("import") << source << dir.filePath(QStringLiteral("Data/bsk.cab")));
    const bool done = tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    QFile::remove(source);
    if (!done)
        *why = QStringLiteral("gallows-catalogue import failed: ") + QString::fromLocal8Bit(tool.readAllStandardError());
    return done;
}

UserFolders::UserFolders()
{
    // Qt refuses a runtime folder anyone else may enter.
    for (const QTemporaryDir *d : {&config, &runtime})
        QFile::setPermissions(d->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QMap<QString, QString> UserFolders::settings() const
{
    QMap<QString, QString> values;
    if (!QFileInfo(settingsFile()).isFile())
        return values;
    QSettings file(settingsFile(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("Gallows"));
    for (const QString &key : file.childKeys())
        values.insert(key, file.value(key).toString());
    return values;
}

bool UserFolders::seedSettings(const QMap<QString, QString> &values)
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "[Gallows]\n";
    for (auto it = values.begin(); it != values.end(); ++it)
        text += (it.key() + QLatin1Char('=') + it.value() + QLatin1Char('\n')).toUtf8();
    return file.write(text) == text.size();
}

QStringList UserFolders::configEntries() const
{
    return QDir(config.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QProcessEnvironment UserFolders::environment(const XServer &x) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), runtime.filePath(QStringLiteral("cache")));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

GameProcess::GameProcess() : process(std::make_unique<QProcess>()) {}

GameProcess::~GameProcess() { killHard(); }

bool GameProcess::start(const ProgramFolder &folder, const UserFolders &user, const XServer &x, QString *why)
{
    QProcessEnvironment env = user.environment(x);
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(GALLOWS_SPY_PLUGIN_DIR));
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("gallowsmessagespy"));
    env.insert(QStringLiteral("GALLOWS_MESSAGE_SPY"), spyDir.filePath(QStringLiteral("messages")));
    env.insert(QStringLiteral("GALLOWS_TRACE_TIMING"), QStringLiteral("1"));
    for (auto it = extra.begin(); it != extra.end(); ++it)
        env.insert(it.key(), it.value());
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(folder.path());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setReadChannel(QProcess::StandardError);
    dieWithParent(*process, SIGKILL);
    stderrBytes.clear();
    process->start(folder.filePath(QStringLiteral("gallows")), {});
    if (!process->waitForStarted(10000)) {
        *why = QStringLiteral("gallows did not start: ") + process->errorString();
        return false;
    }
    return true;
}

bool GameProcess::waitForExit(int timeoutMs)
{
    waitFor([&] { return !running() || (process->waitForFinished(50), !running()); }, timeoutMs);
    return !running();
}

void GameProcess::killHard()
{
    if (!running())
        return;
    ::kill(pid_t(process->processId()), SIGKILL);
    process->waitForFinished(5000);
}

QString GameProcess::errorOutput()
{
    if (running())
        process->waitForReadyRead(20);
    stderrBytes += process->readAllStandardError();
    return QString::fromLocal8Bit(stderrBytes);
}

bool GameProcess::waitForBoards(int count, int timeoutMs)
{
    return waitFor([&] { return errorOutput().count(QStringLiteral("board-revealed-ms")) >= count; }, timeoutMs);
}

QStringList GameProcess::messages() const
{
    QFile log(spyDir.filePath(QStringLiteral("messages")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool Desktop::xdotool(const QStringList &args, QString *out) const
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server.display());
    tool.setProcessEnvironment(env);
    dieWithParent(tool, SIGKILL);
    tool.start(QStringLiteral("xdotool"), args);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        if (args.value(0) != QLatin1String("search")) // finding nothing is an answer
            qWarning("xdotool %s failed", qPrintable(args.join(QLatin1Char(' '))));
        tool.kill();
        return false;
    }
    if (out)
        *out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    return true;
}

QStringList Desktop::windows(const QString &title) const
{
    QString out;
    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')},
            &out);
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString Desktop::waitForWindow(const QString &title, int timeoutMs) const
{
    QString id;
    waitFor([&] { return !(id = windows(title).value(0)).isEmpty(); }, timeoutMs);
    // No window manager here: set the X input focus directly.
    if (!id.isEmpty() && !xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}))
        return QString();
    return id;
}

bool Desktop::keys(const QStringList &keys) const
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"),
                               QStringLiteral("--")} + keys);
}

bool Desktop::type(const QString &text) const
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("--"), text});
}

bool Desktop::guessLetters(const QString &letters) const
{
    QStringList keys;
    for (const QChar c : letters)
        keys << QString(c) << QStringLiteral("Return");
    return this->keys(keys);
}

} // namespace gallows::e2e
