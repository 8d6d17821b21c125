#include "app/catalogue/games_csv.h"

namespace gallows::catalogue {

namespace {

class Parser {
public:
    explicit Parser(const QByteArray &data) : data(data) {}

    CsvDocument run()
    {
        if (data.startsWith("\xEF\xBB\xBF"))
            pos = 3;
        while (pos < data.size())
            readRecord();
        return std::move(doc);
    }

private:
    bool atEnd() const { return pos >= data.size(); }
    char peek() const { return data[pos]; }
    bool atLineEnd() const
    {
        return !atEnd()
            && (peek() == '\n' || (peek() == '\r' && pos + 1 < data.size() && data[pos + 1] == '\n'));
    }
    void skipLineEnd()
    {
        pos += peek() == '\r' ? 2 : 1;
        ++line;
    }
    void problem(const QString &text) { doc.problems.append({record.line, text}); }

    void readRecord()
    {
        record = CsvRecord{line, {}};
        for (;;) {
            record.fields.append(readField());
            if (atEnd())
                break;
            if (atLineEnd()) {
                skipLineEnd();
                break;
            }
            ++pos; // the comma
            if (atEnd()) {
                record.fields.append(QByteArray()); // "a,b," ends in an empty field
                break;
            }
        }
        doc.records.append(std::move(record));
    }

    QByteArray readField()
    {
        QByteArray field;
        if (!atEnd() && peek() == '"') {
            ++pos;
            for (;;) {
                if (atEnd()) {
                    problem(QStringLiteral("a quoted field is never closed"));
                    return field;
                }
                const char c = data[pos++];
                if (c == '"') {
                    if (!atEnd() && peek() == '"') {
                        field.append('"');
                        ++pos;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    ++line;
                field.append(c);
            }
            if (atEnd() || peek() == ',' || atLineEnd())
                return field;
            problem(QStringLiteral("text after the closing quote of a field"));
        }
        bool strayQuote = false;
        while (!atEnd() && peek() != ',' && !atLineEnd()) {
            strayQuote = strayQuote || peek() == '"';
            field.append(data[pos++]);
        }
        if (strayQuote)
            problem(QStringLiteral("a double quote inside a field that is not quoted"));
        return field;
    }

    const QByteArray &data;
    qsizetype pos = 0;
    int line = 1;
    CsvRecord record;
    CsvDocument doc;
};

bool needsQuotes(const QByteArray &field)
{
    for (char c : field)
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    return false;
}

} // namespace

CsvDocument parseCsv(const QByteArray &data)
{
    return Parser(data).run();
}

QByteArray formatCsvRecord(const QList<QByteArray> &fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            out.append(',');
        const QByteArray &f = fields[i];
        // A record of one empty field would read back as a blank line.
        if (needsQuotes(f) || (fields.size() == 1 && f.isEmpty())) {
            out.append('"');
            out.append(QByteArray(f).replace("\"", "\"\""));
            out.append('"');
        } else {
            out.append(f);
        }
    }
    out.append('\n');
    return out;
}

} // namespace gallows::catalogue
