#include "app/catalogue/games_csv.h"

namespace gallows::catalogue {

namespace {

class Parser {
public:
    explicit Parser(const QByteArray &data) : m_data(data) {}

    CsvDocument run()
    {
        if (m_data.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        while (m_pos < m_data.size())
            readRecord();
        return std::move(m_doc);
    }

private:
    bool atEnd() const { return m_pos >= m_data.size(); }
    char peek() const { return m_data[m_pos]; }
    bool atLineEnd() const
    {
        return !atEnd()
            && (peek() == '\n' || (peek() == '\r' && m_pos + 1 < m_data.size() && m_data[m_pos + 1] == '\n'));
    }
    void skipLineEnd()
    {
        m_pos += peek() == '\r' ? 2 : 1;
        ++m_line;
    }
    void problem(const QString &text) { m_doc.problems.append({m_record.line, text}); }

    void readRecord()
    {
        m_record = CsvRecord{m_line, {}};
        for (;;) {
            m_record.fields.append(readField());
            if (atEnd())
                break;
            if (atLineEnd()) {
                skipLineEnd();
                break;
            }
            ++m_pos; // the comma
            if (atEnd()) {
                m_record.fields.append(QByteArray()); // "a,b," ends in an empty field
                break;
            }
        }
        m_doc.records.append(std::move(m_record));
    }

    QByteArray readField()
    {
        QByteArray field;
        if (!atEnd() && peek() == '"') {
            ++m_pos;
            for (;;) {
                if (atEnd()) {
                    problem(QStringLiteral("a quoted field is never closed"));
                    return field;
                }
                const char c = m_data[m_pos++];
                if (c == '"') {
                    if (!atEnd() && peek() == '"') {
                        field.append('"');
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    ++m_line;
                field.append(c);
            }
            if (atEnd() || peek() == ',' || atLineEnd())
                return field;
            problem(QStringLiteral("text after the closing quote of a field"));
        }
        bool strayQuote = false;
        while (!atEnd() && peek() != ',' && !atLineEnd()) {
            strayQuote = strayQuote || peek() == '"';
            field.append(m_data[m_pos++]);
        }
        if (strayQuote)
            problem(QStringLiteral("a double quote inside a field that is not quoted"));
        return field;
    }

    const QByteArray &m_data;
    qsizetype m_pos = 0;
    int m_line = 1;
    CsvRecord m_record;
    CsvDocument m_doc;
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
