// Loaded into the game under test as a Qt generic plugin
// (QT_QPA_GENERIC_PLUGINS=gallowsmessagespy): appends the text of every
// message box the game shows, one line each, to the file GALLOWS_MESSAGE_SPY
// names. It only watches.

#include <QCoreApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>

namespace {

class MessageSpy : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *box = qobject_cast<QMessageBox *>(watched);
        QFile log(qEnvironmentVariable("GALLOWS_MESSAGE_SPY"));
        // One write per line, so a killed game leaves whole lines.
        if (box && event->type() == QEvent::Show && log.open(QIODevice::WriteOnly | QIODevice::Append))
            log.write(QString(box->text()).replace('\n', QStringLiteral("\\n")).toUtf8() + '\n');
        return false;
    }
};

} // namespace

class MessageSpyPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "message_spy.json")
public:
    QObject *create(const QString &, const QString &) override
    {
        auto *spy = new MessageSpy;
        QCoreApplication::instance()->installEventFilter(spy);
        return spy;
    }
};

#include "message_spy.moc"
