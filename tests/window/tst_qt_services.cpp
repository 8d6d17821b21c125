// The message box, the picture source and the reveal timer.

#include "qt_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace gallows;

class TestQtServices : public QObject {
    Q_OBJECT

private slots:
    void messageBox_data();
    void messageBox();
    void pictures_data();
    void pictures();
    void picturesAreReadWhenShown();
    void tickerCallsUntilStopped();
    void tickerStartRestarts();
};

void TestQtServices::messageBox_data()
{
    QTest::addColumn<bool>("withWindow");
    QTest::newRow("over the game window") << true;
    QTest::newRow("before there is a window") << false;
}

void TestQtServices::messageBox()
{
    QFETCH(bool, withWindow);
    QWidget window;
    window.setWindowTitle(QStringLiteral("owner"));
    QtMessageBox messages;
    if (withWindow) {
        window.show();
        messages.setParentWindow(&window);
    }

    struct Seen {
        bool found = false;
        QString title, text;
        int buttons = 0;
        QMessageBox::StandardButtons standard;
        QMessageBox::Icon icon = QMessageBox::Information;
        QWidget *parent = nullptr;
        bool modal = false;
    } seen;
    // Inspect the box while it is open, then close it with its OK button.
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        seen = {true, box->windowTitle(), box->text(), int(box->buttons().size()),
                box->standardButtons(), box->icon(), box->parentWidget(), box->isModal()};
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    messages.show(QStringLiteral("Please enter a letter, stupid!"));
    poll.stop();

    QVERIFY(seen.found);
    QCOMPARE(seen.title, QStringLiteral("Tarvolin Gallows"));
    QCOMPARE(seen.text, QStringLiteral("Please enter a letter, stupid!"));
    QCOMPARE(seen.buttons, 1);
    QCOMPARE(seen.standard, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QVERIFY(seen.modal);
    if (withWindow)
        QCOMPARE(seen.parent, &window);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestQtServices::pictures_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("loads");
    QByteArray png;
    {
        QImage image(12, 8, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    QTest::newRow("a picture") << png << true;
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("not a picture") << QByteArray("GIF89a this is not really one") << false;
}

void TestQtServices::pictures()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString relative = QStringLiteral("Data/Gallows/Graphics/3.gif");
    const QString full = root.filePath(relative);
    if (!content.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(full).path()));
        QFile file(full);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QtPictureSource pictures(root.path());
    QCOMPARE(pictures.fullPath(relative), full);
    QString error;
    try {
        pictures.load(relative);
    } catch (const GameError &e) {
        error = e.message();
    }
    if (loads) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(pictures.pixmap(relative).size(), QSize(12, 8));
    } else {
        QCOMPARE(error, QStringLiteral("The picture %1 is missing or cannot be read.").arg(full));
        QVERIFY(pictures.pixmap(relative).isNull());
    }
}

// Each showing reads the file again: a picture replaced on disk shows as it
// is now, one removed is reported, and only the last one is held.
void TestQtServices::picturesAreReadWhenShown()
{
    QTemporaryDir root;
    const QString relative = QStringLiteral("Data/Gallows/Graphics/0.gif");
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("Data/Gallows/Graphics"))));
    QImage image(5, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(root.filePath(relative), "PNG"));

    QtPictureSource pictures(root.path());
    pictures.load(relative);
    QCOMPARE(pictures.pixmap(relative).toImage().pixelColor(2, 2), QColor(Qt::red));

    image.fill(Qt::blue);
    QVERIFY(image.save(root.filePath(relative), "PNG"));
    pictures.load(relative);
    QCOMPARE(pictures.pixmap(relative).toImage().pixelColor(2, 2), QColor(Qt::blue));

    QVERIFY(QFile::remove(root.filePath(relative)));
    QVERIFY_THROWS_EXCEPTION(GameError, pictures.load(relative));
    QVERIFY(pictures.pixmap(relative).isNull());
    QVERIFY(pictures.pixmap(QString()).isNull());
}

void TestQtServices::tickerCallsUntilStopped()
{
    int ticks = 0;
    QtTicker ticker;
    ticker.setCallback([&] {
        if (++ticks == 3)
            ticker.stop();
    });
    ticker.start(5);
    QVERIFY(ticker.isActive());
    QTRY_COMPARE(ticks, 3);
    QVERIFY(!ticker.isActive());
    QTest::qWait(40);
    QCOMPARE(ticks, 3);
}

void TestQtServices::tickerStartRestarts()
{
    int ticks = 0;
    QtTicker ticker([&] { ++ticks; });
    ticker.start(60000);
    ticker.start(17);
    QCOMPARE(ticker.interval(), 17);
    QTRY_VERIFY(ticks >= 2);
    ticker.stop();
}

QTEST_MAIN(TestQtServices)
#include "tst_qt_services.moc"
