#include "stats/qt_settings_store.h"

#include "stats/file_locks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>

namespace gallows {

namespace {

const QString kSection = QStringLiteral("Gallows");

QString describe(QSettings::Status status)
{
    switch (status) {
    case QSettings::AccessError:
        return QStringLiteral("it cannot be written");
    case QSettings::FormatError:
        return QStringLiteral("it is damaged");
    case QSettings::NoError:
        break;
    }
    return QString();
}

// QSaveFile's temporary copy of `file`: the name, a dot and six letters or
// digits.
bool isTemporaryCopy(const QString &name, const QString &file)
{
    constexpr qsizetype kSuffix = 6;
    if (name.size() != file.size() + 1 + kSuffix || !name.startsWith(file)
        || name.at(file.size()) != QLatin1Char('.'))
        return false;
    for (qsizetype i = file.size() + 1; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

} // namespace

QtSettingsStore::QtSettingsStore(const QString &filePath)
    : m_path(filePath.isEmpty() ? defaultFilePath() : filePath)
{
    tidyUp();
}

QString QtSettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Tarvolin.conf");
}

// Leftovers of a run that was killed while writing: a lock whose owner is
// gone and the temporary copy of a write that never finished. A store that
// cannot be read at all is kept aside rather than overwritten.
void QtSettingsStore::tidyUp()
{
    const QFileInfo info(m_path);
    QDir dir = info.absoluteDir();
    if (!dir.exists())
        return;
    const QString lockPath = m_path + QStringLiteral(".lock");
    removeAbandonedLock(lockPath);
    // A lock left by a run that died is cleared by taking it. Taking a lock
    // writes a file to disk and waits for it, so only when there is one.
    if (QFileInfo::exists(lockPath)) {
        QLockFile lock(lockPath);
        if (lock.tryLock(0))
            lock.unlock();
    }
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : entries)
        if (isTemporaryCopy(name, info.fileName()))
            dir.remove(name);

    if (info.isFile()) {
        QSettings probe(m_path, QSettings::IniFormat);
        // QSettings reads the lines of a section only when they are first
        // asked for; until then a damaged section does not show in status().
        probe.allKeys();
        if (probe.status() == QSettings::FormatError) {
            const QString aside = m_path + QStringLiteral(".damaged");
            QFile::remove(aside);
            QFile::rename(m_path, aside);
        }
    }
}

QString QtSettingsStore::get(const QString &key)
{
    QSettings settings(m_path, QSettings::IniFormat);
    const QVariant value = settings.value(kSection + QLatin1Char('/') + key);
    // A hand-edited value with commas reads back as a list: keep its text.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool QtSettingsStore::save(const QString &key, const QString &value, QString *error)
{
    return saveAll({{key, value}}, error);
}

bool QtSettingsStore::saveAll(const QList<QPair<QString, QString>> &values, QString *error)
{
    // One sync: the file is replaced once, with every value in it.
    QSettings settings(m_path, QSettings::IniFormat);
    for (const auto &[key, value] : values)
        settings.setValue(kSection + QLatin1Char('/') + key, value);
    settings.sync();
    QString why = describe(settings.status());
    if (why.isEmpty() && QFileInfo(m_path).isDir())
        why = QStringLiteral("a folder stands in its place");
    if (why.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("The settings could not be saved to %1: %2.")
                     .arg(QDir::toNativeSeparators(m_path), why);
    return false;
}

} // namespace gallows
