#pragma once
// CSV as the catalogue tool reads and writes it: UTF-8, RFC 4180 (fields
// with commas, quotes or line breaks are quoted, inner quotes doubled).
// Fields stay raw bytes here so that a bad byte can be reported, not lost.

#include <QByteArray>
#include <QList>
#include <QString>

namespace gallows::catalogue {

// Something wrong, on the CSV line where the row concerned starts (1-based)
// or, for a catalogue, in the row with that number.
struct Problem {
    int line = 0;
    QString text;

    bool operator==(const Problem &) const = default;
};

struct CsvRecord {
    int line = 0;              // physical line the record starts on
    QList<QByteArray> fields;
};

struct CsvDocument {
    QList<CsvRecord> records;  // the header is records[0]
    QList<Problem> problems;   // quoting mistakes; the records are still usable
};

// Splits a whole file into records. A leading UTF-8 byte order mark is
// skipped; records end at LF or CRLF outside quotes. A lone CR stays in the
// field it is in.
CsvDocument parseCsv(const QByteArray &data);

// One record with its line ending (LF).
QByteArray formatCsvRecord(const QList<QByteArray> &fields);

} // namespace gallows::catalogue
