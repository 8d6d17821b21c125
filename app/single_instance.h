#pragma once
// One copy of the game at a time. The first copy holds a lock file and a
// local socket in the user's runtime folder; a second copy asks the first
// to come to the front and then ends quietly.
//
// The socket is a plain Unix-domain socket watched by a QSocketNotifier, so
// the game needs nothing beyond Qt Core for it.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

namespace gallows {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy. A lock left by a copy that died does
    // not count. False: another copy runs and has been asked to show itself.
    // Needs no application object: a second copy can end before it makes one.
    bool acquire();
    // Starts answering later copies (raiseRequested()); needs the
    // application's event loop. Copies that ask earlier are answered then.
    void answerLaterCopies();

    static QString runtimeFolder();

signals:
    void raiseRequested();

private:
    void listen();
    void acceptPeers();

    std::unique_ptr<QLockFile> m_lock;
    QString m_socketPath;
    int m_listener = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace gallows
