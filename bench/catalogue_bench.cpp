// The games catalogue at a million rows: builds such a catalogue once, then
// times what start-up does with it (open, key, read the identifier list) and
// what every new game does with it (draw a row, fetch its record).
//
//   gallows-bench-catalogue make <games.csv> <catalogue> <rows>
//       Writes <catalogue> with <rows> games, the CSV's games over and over
//       under fresh identifiers, unless it is already there with that many.
//   gallows-bench-catalogue time <catalogue> <opens> <draws>
//       Prints one line per sample: "open-ms X", "first-fetch-ms X" (the
//       first draw after an open) and "draw-fetch-ms X".

#include "app/catalogue/catalogue_columns.h"
#include "app/catalogue/game_table.h"
#include "app/catalogue/sqlcipher_catalogue.h"
#include "app/std_random.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int usage()
{
    std::fprintf(stderr,
                 "usage: gallows-bench-catalogue make <games.csv> <catalogue> <rows>\n"
                 "       gallows-bench-catalogue time <catalogue> <opens> <draws>\n");
    return 2;
}

int rowsIn(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return -1;
    try {
        return gallows::SqlCipherCatalogue(path).count();
    } catch (const gallows::GameError &) {
        return -1;
    }
}

int make(const QString &csvPath, const QString &path, int rows)
{
    if (rowsIn(path) == rows) {
        std::printf("cached %s\n", qPrintable(path));
        return 0;
    }
    QFile csv(csvPath);
    if (!csv.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(csvPath), qPrintable(csv.errorString()));
        return 1;
    }
    const gallows::catalogue::GameTable shipped = gallows::catalogue::readGamesCsv(csv.readAll());
    if (shipped.rows.isEmpty()) {
        std::fprintf(stderr, "%s holds no games\n", qPrintable(csvPath));
        return 1;
    }
    const Clock::time_point start = Clock::now();
    QList<gallows::catalogue::GameRow> games;
    games.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const qsizetype round = i / shipped.rows.size();
        gallows::catalogue::GameRow row = shipped.rows[i % shipped.rows.size()];
        row.line = i + 1;
        row.fields[gallows::catalogue::GameIdColumn] = QByteArray::number(i + 1);
        // Later rounds read like sequels, so titles do not repeat.
        if (round > 0)
            row.fields[gallows::catalogue::TitleColumn] += ' ' + QByteArray::number(round + 1);
        games.append(std::move(row));
    }
    gallows::catalogue::writeGamesCatalogue(path, games, QString::fromLatin1(gallows::kCatalogueKey));
    std::printf("made %s: %d rows in %.1f s\n", qPrintable(path), rows, msSince(start) / 1000);
    return 0;
}

int time(const QString &path, int opens, int draws)
{
    gallows::StdRandom random;
    for (int i = 0; i < opens; ++i) {
        const Clock::time_point start = Clock::now();
        gallows::SqlCipherCatalogue catalogue(path);
        std::printf("open-ms %.3f\n", msSince(start));
        if (i == 0)
            std::printf("rows %d\n", catalogue.count());
        const Clock::time_point first = Clock::now();
        const int rows = catalogue.count();
        const gallows::GameRecord record =
            catalogue.fetch(std::clamp(int(std::floor(random.next() * rows)), 0, rows - 1));
        std::printf("first-fetch-ms %.3f\n", msSince(first));
        if (record.title.isEmpty())
            return 1;
    }

    // The same steps as GameRules::startGame(): a uniform draw over the
    // identifier list, then the record behind it.
    gallows::SqlCipherCatalogue catalogue(path);
    const int rows = catalogue.count();
    qsizetype letters = 0;
    for (int i = 0; i < draws; ++i) {
        const Clock::time_point start = Clock::now();
        const int row = std::clamp(int(std::floor(random.next() * rows)), 0, rows - 1);
        const gallows::GameRecord record = catalogue.fetch(row);
        const double ms = msSince(start);
        letters += record.title.size();
        std::printf("draw-fetch-ms %.4f\n", ms);
    }
    return letters > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 5 && args[1] == QLatin1String("make"))
            return make(args[2], args[3], args[4].toInt());
        if (args.size() == 5 && args[1] == QLatin1String("time"))
            return time(args[2], args[3].toInt(), args[4].toInt());
    } catch (const gallows::GameError &error) {
        std::fprintf(stderr, "gallows-bench-catalogue: %s\n", qPrintable(error.message()));
        return 1;
    }
    return usage();
}
