#pragma once
// The Qt side of three of the rules' doors: the modal message box, the
// gallows pictures and the timer that paces the board reveal.

#include "game/interfaces.h"

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace gallows {

// The game's title, as every window and message box shows it.
inline const char *const kGameTitle = "Tarvolin Gallows";

// A modal QMessageBox: the text, one OK button, no icon, the game's title.
// It sits over the game window once that window is known.
class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget *parentWindow = nullptr) : m_parent(parentWindow) {}
    void setParentWindow(QWidget *window) { m_parent = window; }
    QWidget *parentWindow() const { return m_parent; }
    void show(const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};

// Loads the gallows pictures below the data folder and keeps each one once
// loaded. The window asks for the pixmap the rules last put up.
class QtPictureSource : public PictureSource {
public:
    // `root` is the folder that holds Data/.
    explicit QtPictureSource(const QString &root) : m_rootFolder(root) {}

    // Throws GameError naming the full path when the file will not load.
    void load(const QString &relativePath) override;

    // The picture for `relativePath`, loaded now if need be; a null pixmap
    // when there is none (the rules have already said why through load()).
    // Only the picture last loaded is kept: each is read again whenever it
    // is shown, so a picture replaced on disk shows as it is now.
    QPixmap pixmap(const QString &relativePath);

    QString fullPath(const QString &relativePath) const;

    // A picture read ahead from `relativePath` into an image, which unlike
    // a pixmap can be read on another thread (start-up reads the first
    // board's picture while the window is built): the next load() of that
    // path shows it instead of reading the file again. A null image, as a
    // failed read gives, changes nothing: load() reads the file and says
    // what is wrong with it.
    void adopt(const QString &relativePath, const QImage &picture);

private:
    bool tryLoad(const QString &relativePath);

    QString m_rootFolder;
    QString m_lastPath;
    QPixmap m_last;
    QString m_adoptedPath;
    QImage m_adopted;
};

// The window timer that paces the board reveal: a precise QTimer that calls
// `tick` on every timeout until it is stopped.
class QtTicker : public Ticker {
public:
    explicit QtTicker(std::function<void()> onTick = {});
    void setCallback(std::function<void()> onTick) { m_tick = std::move(onTick); }
    void start(int intervalMs) override;
    void stop() override;
    bool isActive() const { return m_timer.isActive(); }
    int interval() const { return m_timer.interval(); }

private:
    QTimer m_timer;
    std::function<void()> m_tick;
};

} // namespace gallows
