// A Qt generic plugin loaded into the game under test: appends the text of each
// message box it shows to the file GALLOWS_MESSAGE_SPY, one line in one write.

#include <QCoreApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>

class MessageSpy : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "message_spy.json")
public:
    QObject *create(const QString &, const QString &) override
    {
        auto *spy = new MessageSpy;
        QCoreApplication::instance()->installEventFilter(spy);
        return spy;
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *box = qobject_cast<QMessageBox *>(watched);
        QFile log(qEnvironmentVariable("GALLOWS_MESSAGE_SPY"));
        if (box && event->type() == QEvent::Show && log.open(QIODevice::WriteOnly | QIODevice::Append))
            log.write(box->text().replace('\n', QStringLiteral("\\n")).toUtf8() + '\n');
        return false;
    }
};

#include "message_spy.moc"
