#pragma once
// Fakes of the rules' interfaces. Each can write what it is asked into a
// shared event log, so tests can check the order of effects a player sees.

#include "game/interfaces.h"

#include <QMap>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <array>
#include <deque>
#include <functional>
#include <vector>

namespace gallows::testing {

// QFETCH as an expression.
template <typename T> const T &fetched(const char *name)
{
    return *static_cast<const T *>(QTest::qData(name, qMetaTypeId<T>()));
}

// QTest::addColumn for each name, with the types in order.
template <typename... T> void columns(const std::array<const char *, sizeof...(T)> &names)
{
    size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

using EventLog = QStringList;

inline void note(EventLog *log, const QString &what)
{
    if (log)
        log->append(what);
}

class FakeCatalogue : public Catalogue {
public:
    std::vector<GameRecord> rows;
    QSet<int> vanished; // rows whose fetch fails as if deleted
    bool closed = false;
    QList<int> fetched;

    void add(const QString &title, const QString &year = QStringLiteral("1990"),
             const QString &genre = QStringLiteral("puzzle"))
    {
        rows.push_back({QString::number(rows.size() + 1), title, year, genre, QStringLiteral("Pub"),
                        QStringLiteral("Dev")});
    }
    int count() const override { return int(rows.size()); }
    GameRecord fetch(int row) override
    {
        fetched.append(row);
        if (closed || row < 0 || row >= count() || vanished.contains(row))
            throw GameError(QStringLiteral("The game with identifier %1 is no longer in the catalogue.").arg(row + 1));
        return rows[size_t(row)];
    }
    void close() override { closed = true; }
};

class FakeSettings : public SettingsStore {
public:
    QMap<QString, QString> values;
    QStringList writes; // "Key=Value" in order
    bool failWrites = false;
    EventLog *log = nullptr;

    QString get(const QString &key) override { return values.value(key); }
    bool save(const QString &key, const QString &value, QString *error) override
    {
        note(log, QStringLiteral("save %1=%2").arg(key, value));
        if (failWrites && error)
            *error = QStringLiteral("The settings file /tmp/ro/Tarvolin.conf could not be written.");
        if (failWrites)
            return false;
        values[key] = value;
        writes.append(key + QLatin1Char('=') + value);
        return true;
    }
};

class FakeCues : public CuePlayer {
public:
    QStringList played;
    EventLog *log = nullptr;
    void play(const QString &relativePath) override { played.append(relativePath), note(log, "cue " + relativePath); }
};

class FakeMessages : public MessageBox {
public:
    QStringList shown;
    EventLog *log = nullptr;
    std::function<void()> whileOpen; // runs "inside" the modal box
    void show(const QString &text) override
    {
        shown.append(text), note(log, "message " + text);
        if (whileOpen)
            whileOpen();
    }
};

// Returns the queued values in order, then `fallback`.
class FakeRandom : public RandomSource {
public:
    std::deque<double> queue;
    double fallback = 0.0;
    int draws = 0;
    double next() override
    {
        const double v = queue.empty() ? fallback : queue.front();
        return queue.empty() ? void() : queue.pop_front(), ++draws, v;
    }
};

class FakePictures : public PictureSource {
public:
    QSet<QString> missing;
    EventLog *log = nullptr;
    void load(const QString &relativePath) override
    {
        if (missing.contains(relativePath))
            throw GameError(QStringLiteral("The picture %1 is missing.").arg(relativePath));
        note(log, QStringLiteral("picture ") + relativePath);
    }
};

class FakeTicker : public Ticker {
public:
    bool running = false;
    int interval = 0;
    int starts = 0;
    void start(int intervalMs) override { running = true, interval = intervalMs, ++starts; }
    void stop() override { running = false; }
};

} // namespace gallows::testing
