#include "ui/qt_services.h"

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QIcon>
#include <QMessageBox>

#include <utility>

namespace gallows {

// ---------------------------------------------------------------- messages

void QtMessageBox::show(const QString &text)
{
    QWidget *owner = m_parent.data();
    if (!owner)
        owner = QApplication::activeWindow();
    QMessageBox box(owner);
    box.setObjectName(QStringLiteral("gallowsMessage"));
    box.setWindowTitle(QString::fromLatin1(kGameTitle));
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setIcon(QIcon()); // plain text on the button too
    box.setEscapeButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

// ---------------------------------------------------------------- pictures

QString QtPictureSource::fullPath(const QString &relativePath) const
{
    return QDir(m_rootFolder).filePath(relativePath);
}

bool QtPictureSource::tryLoad(const QString &relativePath)
{
    m_lastPath.clear();
    m_last = QPixmap();
    QPixmap picture;
    const QImage adopted = std::exchange(m_adopted, QImage());
    if (std::exchange(m_adoptedPath, QString()) == relativePath && !adopted.isNull())
        picture = QPixmap::fromImage(adopted);
    else if (!picture.load(fullPath(relativePath)) || picture.isNull())
        return false;
    m_lastPath = relativePath;
    m_last = picture;
    return true;
}

void QtPictureSource::load(const QString &relativePath)
{
    if (!tryLoad(relativePath))
        throw GameError(QStringLiteral("The picture %1 is missing or cannot be read.")
                            .arg(QDir::toNativeSeparators(fullPath(relativePath))));
}

void QtPictureSource::adopt(const QString &relativePath, const QImage &picture)
{
    m_adoptedPath = relativePath;
    m_adopted = picture;
}

QPixmap QtPictureSource::pixmap(const QString &relativePath)
{
    if (relativePath.isEmpty())
        return QPixmap();
    if (relativePath == m_lastPath || tryLoad(relativePath))
        return m_last;
    return QPixmap();
}

// ---------------------------------------------------------------- ticker

QtTicker::QtTicker(std::function<void()> onTick) : m_tick(std::move(onTick))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (m_tick)
            m_tick();
    });
}

void QtTicker::start(int intervalMs)
{
    m_timer.start(intervalMs);
}

void QtTicker::stop()
{
    m_timer.stop();
}

} // namespace gallows
