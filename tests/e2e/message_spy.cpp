// A Qt "generic" plugin the robustness tests load into the real game
// (QT_QPA_GENERIC_PLUGINS=gallowsmessagespy): every message box the game
// shows is appended as one line to the file named by GALLOWS_MESSAGE_SPY,
// so a test can read what the player was told. It only watches.

#include <QFile>
#include <QGenericPlugin>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

class MessageSpy : public QObject {
public:
    explicit MessageSpy(const QString &logPath) : path(logPath) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                QString text = box->text();
                text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
                text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
                QFile log(path);
                // One write per line, so a killed game leaves whole lines.
                if (log.open(QIODevice::WriteOnly | QIODevice::Append))
                    log.write(text.toUtf8() + '\n');
            }
        }
        return false;
    }

private:
    QString path;
};

} // namespace

class MessageSpyPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "message_spy.json")
public:
    QObject *create(const QString &key, const QString &) override
    {
        const QString path = qEnvironmentVariable("GALLOWS_MESSAGE_SPY");
        if (key.compare(QLatin1String("gallowsmessagespy"), Qt::CaseInsensitive) != 0 || path.isEmpty())
            return nullptr;
        auto *spy = new MessageSpy(path);
        QCoreApplication::instance()->installEventFilter(spy);
        return spy;
    }
};

#include "message_spy.moc"
