#pragma once
// The settings store on disk: an INI file in the user's XDG config folder,
// ~/.config/Tarvolin.conf, section [Gallows]. Every write reaches the disk
// before save() returns, and the file is only ever replaced whole.

#include "game/interfaces.h"

#include <QString>

namespace gallows {

class QtSettingsStore : public SettingsStore {
public:
    // `filePath` empty: the user's config location.
    explicit QtSettingsStore(const QString &filePath = QString());

    QString get(const QString &key) override;
    bool save(const QString &key, const QString &value, QString *error = nullptr) override;
    bool saveAll(const QList<QPair<QString, QString>> &values, QString *error = nullptr) override;

    QString filePath() const { return m_path; }

    // The usual place: $XDG_CONFIG_HOME/Tarvolin.conf.
    static QString defaultFilePath();

private:
    void tidyUp();

    QString m_path;
};

} // namespace gallows
