// gallows-catalogue: builds the encrypted games catalogue from a CSV file,
// turns it back into CSV for editing, and checks either kind of file.

#include "app/catalogue/game_table.h"
#include "game/interfaces.h"
#include "app/catalogue/sqlcipher_catalogue.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace gallows;
using namespace gallows::catalogue;

namespace {

constexpr int kOk = 0;
constexpr int kProblems = 1;
constexpr int kUsage = 2;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

const char kHelp[] =
    "Usage: gallows-catalogue [--key K] <command> <files>\n"
    "\n"
    "Commands:\n"
    "  import <games.csv> <bsk.cab>   check the CSV file and write a fresh encrypted\n"
    "                                 catalogue from it (the old one is replaced only\n"
    "                                 when the new one is complete)\n"
    "  export <bsk.cab> <games.csv>   write the catalogue's games to a CSV file\n"
    "  validate <file>                list every problem in a CSV file (a name ending\n"
    "                                 in .csv) or in a catalogue (any other name)\n"
    "\n"
    "Options:\n"
    "  --key K    the catalogue's passphrase (default: the game's own)\n"
    "  --help     show this text\n"
    "\n"
    "The CSV file is UTF-8 with the header GameID,Title,Year,Genre,Publisher,Developer.\n"
    "Exit status: 0 success, 1 problems found or the command failed, 2 bad usage.\n";

int usage(const QString &why)
{
    err() << "gallows-catalogue: " << why << "\n" << "Try 'gallows-catalogue --help'.\n";
    return kUsage;
}

bool readFile(const QString &path, QByteArray *data)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        err() << path << " is missing.\n";
        return false;
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        err() << path << " cannot be read: " << (info.isFile() ? file.errorString() : QStringLiteral("not a file"))
              << "\n";
        return false;
    }
    *data = file.readAll();
    return true;
}

bool isCsvName(const QString &path)
{
    return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
}

void print(QTextStream &stream, const QString &file, const GameTable &table, Source source)
{
    for (const Problem &p : table.problems)
        stream << describe(file, p, source) << "\n";
}

int importCsv(const QString &csvPath, const QString &cabPath, const QString &key)
{
    QByteArray data;
    if (!readFile(csvPath, &data))
        return kProblems;
    const GameTable table = readGamesCsv(data);
    if (!table.problems.isEmpty()) {
        print(err(), csvPath, table, Source::Csv);
        err() << table.problems.size() << " problem(s) in " << csvPath << "; " << cabPath << " was not changed.\n";
        return kProblems;
    }
    writeGamesCatalogue(cabPath, table.rows, key);
    out() << "Wrote " << table.rows.size() << " games to " << cabPath << ".\n";
    return kOk;
}

int exportCsv(const QString &cabPath, const QString &csvPath, const QString &key)
{
    const GameTable table = readGamesCatalogue(cabPath, key);
    writeFileAtomically(csvPath, gamesCsv(table.rows));
    out() << "Wrote " << table.rows.size() << " games to " << csvPath << ".\n";
    if (!table.problems.isEmpty())
        err() << "Note: the catalogue has " << table.problems.size()
              << " problem(s); run 'gallows-catalogue validate' on either file to list them.\n";
    return kOk;
}

int validate(const QString &path, const QString &key)
{
    GameTable table;
    Source source = Source::Csv;
    if (isCsvName(path)) {
        QByteArray data;
        if (!readFile(path, &data))
            return kProblems;
        table = readGamesCsv(data);
    } else {
        source = Source::Catalogue;
        table = readGamesCatalogue(path, key);
    }
    print(out(), path, table, source);
    return table.problems.isEmpty() ? kOk : kProblems;
}

} // namespace

int main(int argc, char *argv[])
{
    QString key = QString::fromLatin1(kCatalogueKey);
    QStringList words;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out() << kHelp;
            return kOk;
        }
        if (arg == QLatin1String("--key")) {
            if (++i >= argc)
                return usage(QStringLiteral("--key needs a value"));
            key = QString::fromLocal8Bit(argv[i]);
        } else if (arg.startsWith(QLatin1String("--key="))) {
            key = arg.mid(6);
        } else if (arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
            return usage(QStringLiteral("unknown option %1").arg(arg));
        } else {
            words << QFile::decodeName(argv[i]);
        }
    }
    if (key.isEmpty())
        return usage(QStringLiteral("the key must not be empty"));
    if (words.isEmpty())
        return usage(QStringLiteral("no command given"));

    const QString command = words.takeFirst();
    const int wanted = command == QLatin1String("validate") ? 1 : 2;
    if (command != QLatin1String("import") && command != QLatin1String("export")
        && command != QLatin1String("validate"))
        return usage(QStringLiteral("unknown command %1").arg(command));
    if (words.size() != wanted)
        return usage(QStringLiteral("%1 takes %2 file name(s)").arg(command).arg(wanted));

    try {
        if (command == QLatin1String("import"))
            return importCsv(words[0], words[1], key);
        if (command == QLatin1String("export"))
            return exportCsv(words[0], words[1], key);
        return validate(words[0], key);
    } catch (const GameError &e) {
        (command == QLatin1String("validate") ? out() : err()) << e.message() << "\n";
        return kProblems;
    }
}
