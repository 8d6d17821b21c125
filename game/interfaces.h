#pragma once
// The few doors through which the rules reach the outside world. Each has a
// real implementation in app/, stats/, sound/ or ui/ and a fake under tests/.

#include <QList>
#include <QPair>
#include <QString>
#include <stdexcept>

namespace gallows {

// A failure the rules cannot recover from on their own (a catalogue that will
// not answer, a picture that will not load). what() is the player-facing text.
class GameError : public std::runtime_error {
public:
    explicit GameError(const QString &message)
        : std::runtime_error(message.toStdString()), m_text(message) {}
    QString message() const { return m_text; }

private:
    QString m_text;
};

// One row of the games catalogue, every column as text (a null reads as "").
struct GameRecord {
    QString gameId;
    QString title;
    QString year;
    QString genre;
    QString publisher;
    QString developer;
};

// The identifier list read once at start-up, and the fetch of one record.
class Catalogue {
public:
    virtual ~Catalogue() = default;
    // Number of rows in the identifier list (N).
    virtual int count() const = 0;
    // The record behind row `row` (0 .. N-1). Throws GameError on failure.
    virtual GameRecord fetch(int row) = 0;
    // Releases the database; later fetches fail.
    virtual void close() = 0;
};

// The per-user settings store: application "Tarvolin", section "Gallows".
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or "" when the key does not exist.
    virtual QString get(const QString &key) = 0;
    // Writes the value and makes sure it is on disk before returning. On
    // failure returns false and, when `error` is given, a message naming the file.
    virtual bool save(const QString &key, const QString &value, QString *error = nullptr) = 0;
    // Writes several values, in order, as one change: a store that can
    // replace its file whole makes them reach the disk together, so a crash
    // never leaves half of them. The first failure's message goes to `error`.
    virtual bool saveAll(const QList<QPair<QString, QString>> &values, QString *error = nullptr)
    {
        bool ok = true;
        for (const auto &[key, value] : values) {
            QString why;
            if (!save(key, value, &why) && ok) {
                ok = false;
                if (error)
                    *error = why;
            }
        }
        return ok;
    }
};

// Plays a cue in the background. `relativePath` is below the program folder,
// for example "Data/Gallows/Sounds/win1.wav". A missing file is silent.
class CuePlayer {
public:
    virtual ~CuePlayer() = default;
    virtual void play(const QString &relativePath) = 0;
};

// A modal message box: the text, an OK button, no icon, the game's title.
// Returns when the player has closed it.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(const QString &text) = 0;
};

// Uniform values in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double next() = 0;
};

// Loads a gallows picture below the program folder. Throws GameError naming
// the file when it is missing or unreadable.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    virtual void load(const QString &relativePath) = 0;
};

// The window timer that paces the board reveal; each tick calls
// GameRules::revealNextCell().
class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
};

} // namespace gallows
