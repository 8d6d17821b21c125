#include "robust_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>

namespace gallows::robust {

using namespace e2e;

MessageLog::MessageLog() : dir(QDir::tempPath() + QStringLiteral("/gallows-robust-messages-XXXXXX"))
{
    // The game may run as another user (see the read-only settings case).
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                          | QFile::WriteOther | QFile::ExeOther);
    QFile log(path());
    if (log.open(QIODevice::WriteOnly))
        log.close();
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
}

QString MessageLog::path() const { return dir.filePath(QStringLiteral("messages.txt")); }

void MessageLog::attach(GameProcess &game) const
{
    game.setEnvironment(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(GALLOWS_SPY_PLUGIN_DIR));
    game.setEnvironment(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("gallowsmessagespy"));
    game.setEnvironment(QStringLiteral("GALLOWS_MESSAGE_SPY"), path());
}

QStringList MessageLog::all() const
{
    QFile log(path());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    const QList<QByteArray> raw = log.readAll().split('\n');
    // The last piece is what follows the final newline: nothing, or a line
    // still being written.
    for (qsizetype i = 0; i + 1 < raw.size(); ++i) {
        // The spy writes a newline as \n and a backslash as \\.
        const QString escaped = QString::fromUtf8(raw[i]);
        QString line;
        for (qsizetype c = 0; c < escaped.size(); ++c) {
            if (escaped[c] == QLatin1Char('\\') && c + 1 < escaped.size())
                line += escaped[++c] == QLatin1Char('n') ? QChar(u'\n') : escaped[c];
            else
                line += escaped[c];
        }
        lines << line;
    }
    return lines;
}

QStringList MessageLog::takeNew()
{
    const QStringList lines = all();
    const QStringList fresh = lines.mid(taken);
    taken = int(lines.size());
    return fresh;
}

bool MessageLog::waitFor(int count, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    while (all().size() < count) {
        if (clock.elapsed() > timeoutMs)
            return false;
        idle(20);
    }
    return true;
}

void slowDiskFor(GameProcess &game, const QString &folder, int microseconds)
{
    game.setEnvironment(QStringLiteral("LD_PRELOAD"), QStringLiteral(GALLOWS_SLOW_DISK_LIBRARY));
    game.setEnvironment(QStringLiteral("GALLOWS_SLOW_DIR"), QDir(folder).absolutePath());
    game.setEnvironment(QStringLiteral("GALLOWS_SLOW_US"), QString::number(microseconds));
    // A sanitizer build wants its runtime loaded first; the library does
    // not mind coming second.
    QString asan = qEnvironmentVariable("ASAN_OPTIONS");
    if (!asan.isEmpty())
        asan += QLatin1Char(':');
    game.setEnvironment(QStringLiteral("ASAN_OPTIONS"), asan + QStringLiteral("verify_asan_link_order=0"));
}

namespace {

bool isInt16Text(const QString &text)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,5}$"));
    if (!decimal.match(text).hasMatch())
        return false;
    const int value = text.toInt();
    return value >= -32768 && value <= 32767;
}

// What the game itself may write under each of its eight keys.
bool validValue(const QString &name, const QString &text)
{
    if (name == QLatin1String("GamesWon") || name == QLatin1String("GamesLost")
        || name == QLatin1String("GamesGiveUp") || name == QLatin1String("GamesTotal"))
        return isInt16Text(text);
    if (name == QLatin1String("Sounds"))
        return QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}
            .contains(text);
    if (name == QLatin1String("Clue"))
        return QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                           QStringLiteral("5")}
            .contains(text);
    if (name == QLatin1String("SaveStats"))
        return text == QLatin1String("True") || text == QLatin1String("False");
    if (name == QLatin1String("PreviousRun"))
        return text == QLatin1String("True");
    return false;
}

} // namespace

QString storeProblem(const QString &path)
{
    if (!QFileInfo::exists(path))
        return QString();
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1 is not a file").arg(path);
    QSettings store(path, QSettings::IniFormat);
    const QStringList keys = store.allKeys(); // reads every section
    if (store.status() != QSettings::NoError)
        return QStringLiteral("%1 does not parse (QSettings status %2)").arg(path).arg(int(store.status()));

    QStringList problems;
    for (const QString &key : keys) {
        const QVariant stored = store.value(key);
        const QString name = key.section(QLatin1Char('/'), 1);
        // A value with a comma would read back as a list: never the game's.
        const bool ok = key.count(QLatin1Char('/')) == 1 && key.startsWith(QLatin1String("Gallows/"))
                        && stored.metaType().id() == QMetaType::QString && validValue(name, stored.toString());
        if (!ok)
            problems << QStringLiteral("%1=%2").arg(key, stored.toStringList().join(QLatin1Char(',')));
    }
    if (problems.isEmpty())
        return QString();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QStringLiteral("%1 holds %2; the file:\n%3")
        .arg(path, problems.join(QStringLiteral(", ")), QString::fromUtf8(file.readAll()));
}

} // namespace gallows::robust
