// frmAbout2 on the offscreen platform: its controls, the keys that close it,
// opening it from the game window (placement, modality, a fresh window each
// time) and the figure compiled into the program.

#include "about_window.h"
#include "fakes.h"
#include "window_rig.h"
#include "game_window.h"
#include "qt_services.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using namespace gallows;
using namespace gallows::testing;

namespace {

// What a GIF file's header says about itself.
struct GifFacts {
    QByteArray version;
    int width = 0;
    int height = 0;
    int globalColours = 0; // 0: no global colour table
    int transparentIndex = -1;
};

GifFacts readGif(const QByteArray &bytes)
{
    GifFacts gif;
    auto u8 = [&](qsizetype at) { return at < bytes.size() ? quint8(bytes[at]) : 0; };
    gif.version = bytes.left(6);
    gif.width = u8(6) | (u8(7) << 8);
    gif.height = u8(8) | (u8(9) << 8);
    if (u8(10) & 0x80)
        gif.globalColours = 1 << ((u8(10) & 0x07) + 1);
    // The graphic control extension follows the colour table.
    const qsizetype gce = bytes.indexOf(QByteArray("\x21\xF9\x04", 3), 13 + 3 * gif.globalColours);
    if (gce >= 0 && (u8(gce + 3) & 0x01))
        gif.transparentIndex = u8(gce + 6);
    return gif;
}

int px(double twips)
{
    return qRound(twips / 15.0);
}

// The game window over fakes, shown and active.
struct Rig : WindowRig<> {
    explicit Rig(const QString &pictureRoot) : WindowRig(pictureRoot, {QStringLiteral("Lemmings")}) {}
    QPoint centreOf(const char *name) const
    {
        const QWidget *w = get(name);
        return w->mapTo(window.get(), w->rect().center());
    }
};

// Opens the About window with `open` (which blocks while it is up), runs
// `inside` on it once it is showing, then closes it with its button. A
// watchdog closes it after five seconds if nothing else does, so a broken
// close never hangs the run.
struct Opening {
    QPointer<frmAbout2> about;
    bool ranInside = false;
    bool modal = false; // the application's modal window while it was up
    bool watchdogFired = false;
};

frmAbout2 *shownAboutWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<frmAbout2 *>(w); about && about->isVisible())
            return about;
    }
    return nullptr;
}

Opening whileOpen(const std::function<void()> &open, const std::function<void(frmAbout2 *)> &inside)
{
    Opening opening;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        frmAbout2 *about = shownAboutWindow();
        if (!about || opening.ranInside)
            return;
        opening.ranInside = true;
        opening.about = about;
        opening.modal = QApplication::activeModalWidget() == about;
        if (inside)
            inside(about);
        about->findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        opening.watchdogFired = true;
        while (frmAbout2 *about = shownAboutWindow())
            about->close();
    });
    poll.start();
    watchdog.start(5000);
    open();
    return opening;
}

QList<QWidget *> controlsOf(QWidget *window)
{
    return window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowFrame();
    void controls_data();
    void controls();
    void closing_data();
    void closing();
    void openedBesideTheGameWindow_data();
    void openedBesideTheGameWindow();
    void gameWindowTakesNoInputWhileOpen();
    void figureResource();
    void bothWindowsWearTheIcon();
    void focusedHangOn_data();
    void focusedHangOn();

private:
    QTemporaryDir pictureRoot;
};

void TestAboutWindow::initTestCase()
{
    QVERIFY(pictureRoot.isValid());
    // Plain stand-ins for the gallows pictures the game window shows.
    const QString folder = pictureRoot.path() + QStringLiteral("/Data/Gallows/Graphics");
    QVERIFY(QDir().mkpath(folder));
    for (int n = 0; n <= 10; ++n) {
        QImage picture(232, 156, QImage::Format_RGB32);
        picture.fill(QColor(200, 220, 240));
        QVERIFY(picture.save(QStringLiteral("%1/%2.gif").arg(folder).arg(n), "PNG"));
    }
}

void TestAboutWindow::windowFrame()
{
    frmAbout2 about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.objectName(), QStringLiteral("frmAbout2"));
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.size(), QSize(253, 106));
    QCOMPARE(about.minimumSize(), QSize(253, 106));
    QCOMPARE(about.maximumSize(), QSize(253, 106));
    const Qt::WindowFlags flags = about.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(about.isSizeGripEnabled() == false);

    const QList<QWidget *> order = controlsOf(&about);
    QStringList names;
    for (QWidget *w : order)
        names << w->objectName();
    // Creation order is stacking order: the title is drawn over the edition.
    QCOMPARE(names, QStringList({"cmdOk", "lblMe", "lblVersion", "imgGallows", "lblGallows"}));
}

void TestAboutWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("colourRole");
    QTest::addColumn<bool>("opaque");

    const int highlight = QPalette::Highlight;
    QTest::newRow("cmdOk") << "cmdOk" << "&Hang On" << QRect(1515, 1140, 1035, 375)
                           << "Liberation Sans" << 11 << false << int(QPalette::ButtonText) << true;
    QTest::newRow("lblMe") << "lblMe" << "By Mara Tarvolin and Jonas Kell" << QRect(705, 795, 2655, 255)
                           << "Liberation Sans" << 11 << false << int(QPalette::ButtonText) << true;
    QTest::newRow("lblVersion") << "lblVersion" << "Tarvolin Edition" << QRect(960, 485, 2175, 255)
                                << "DejaVu Sans" << 11 << false << highlight << true;
    QTest::newRow("lblGallows") << "lblGallows" << "Gallows" << QRect(840, 105, 2400, 495)
                                << "DejaVu Sans" << 21 << true << highlight << false;
    QTest::newRow("imgGallows") << "imgGallows" << "" << QRect(120, 165, 600, 1215) << "" << 0
                                << false << -1 << false;
}

void TestAboutWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    QFETCH(QString, family);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(int, colourRole);
    QFETCH(bool, opaque);

    frmAbout2 about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QWidget *control = about.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    QVERIFY(control->isVisible());

    if (auto *button = qobject_cast<QPushButton *>(control))
        QCOMPARE(button->text(), text);
    else
        QCOMPARE(qobject_cast<QLabel *>(control)->text(), text);

    if (!family.isEmpty()) {
        QCOMPARE(control->font().family(), family);
        QCOMPARE(control->font().pixelSize(), pixels);
        QCOMPARE(control->font().bold(), bold);
        // The face is really there, not a stand-in.
        QCOMPARE(QFontInfo(control->font()).family(), family);
    }
    if (colourRole >= 0)
        QCOMPARE(control->foregroundRole(), QPalette::ColorRole(colourRole));
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->autoFillBackground(), opaque);
        if (!text.isEmpty()) {
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
    }
}

void TestAboutWindow::closing_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("pressesButton");
    QTest::addColumn<bool>("closes");

    const int none = Qt::NoModifier;
    QTest::newRow("Enter") << int(Qt::Key_Return) << none << true << true;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << none << true << true;
    QTest::newRow("Alt+H") << int(Qt::Key_H) << int(Qt::AltModifier) << true << true;
    QTest::newRow("close box") << 0 << none << false << true;
    QTest::newRow("H alone does nothing") << int(Qt::Key_H) << none << false << false;
}

void TestAboutWindow::closing()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, pressesButton);
    QFETCH(bool, closes);

    frmAbout2 about;
    auto *ok = about.findChild<QPushButton *>(QStringLiteral("cmdOk"));
    QSignalSpy pressed(ok, &QPushButton::clicked);
    QSignalSpy finished(&about, &QDialog::finished);
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));

    if (key == 0)
        QVERIFY(about.close());
    else
        QTest::keyClick(about.windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    if (closes) {
        QTRY_VERIFY(!about.isVisible());
        QCOMPARE(finished.count(), 1);
    } else {
        QTest::qWait(300); // longer than a button's animated click
        QVERIFY(about.isVisible());
        QCOMPARE(finished.count(), 0);
    }
    QCOMPARE(pressed.count(), pressesButton ? 1 : 0);
}

void TestAboutWindow::openedBesideTheGameWindow_data()
{
    QTest::addColumn<bool>("nearCorner");
    QTest::newRow("top left") << false;
    QTest::newRow("bottom right corner") << true;
}

void TestAboutWindow::openedBesideTheGameWindow()
{
    QFETCH(bool, nearCorner);
    Rig rig(pictureRoot.path());
    const QRect screen = rig.window->screen()->geometry();
    rig.window->move(nearCorner ? screen.bottomRight() - QPoint(150, 100) : QPoint(40, 30));
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    const QPoint frame = rig.window->frameGeometry().topLeft();

    QRect placed;
    QWidget *owner = nullptr;
    // Ctrl+A from the letter box, as a player would open it mid-game.
    auto *letterBox = rig.get<QLineEdit>("txtGuessLetter");
    letterBox->setFocus();
    const Opening opening = whileOpen(
        [&] { QTest::keyClick(rig.window->windowHandle(), Qt::Key_A, Qt::ControlModifier); },
        [&](frmAbout2 *about) {
            placed = about->frameGeometry();
            owner = about->parentWidget();
        });

    QVERIFY(opening.ranInside);
    QVERIFY(!opening.watchdogFired);
    QCOMPARE(owner, rig.window.get());
    QVERIFY(opening.modal);
    QCOMPARE(placed.topLeft(), frame + QPoint(px(1500), px(1200)));
    // Left where it was put, even when that is partly off the screen.
    QCOMPARE(screen.contains(placed), !nearCorner);
    // Gone once closed: the next opening builds a new one.
    QVERIFY(opening.about.isNull());
    QVERIFY(rig.window->findChildren<frmAbout2 *>().isEmpty());
    QCOMPARE(letterBox->text(), QString()); // Ctrl+A was not Select All / typing
}

void TestAboutWindow::gameWindowTakesNoInputWhileOpen()
{
    Rig rig(pictureRoot.path());
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QWindow *game = rig.window->windowHandle();
    auto *letterBox = rig.get<QLineEdit>("txtGuessLetter");
    letterBox->setFocus();
    QSignalSpy guessClicks(rig.get<QPushButton>("cmdGuessLetter"), &QPushButton::clicked);

    // Everything is sent to the game window the way the platform delivers
    // it, so a modal window in front is honoured as it would be for real.
    auto poke = [&] {
        QTest::keyClick(game, Qt::Key_E);
        QTest::mouseClick(game, Qt::LeftButton, Qt::NoModifier, rig.centreOf("cmdGuessLetter"));
        QTest::keyClick(game, Qt::Key_R, Qt::ControlModifier); // Reset Statistics
        QTest::keyClick(game, Qt::Key_A, Qt::ControlModifier); // About again
        QTest::keyClick(game, Qt::Key_Q, Qt::ControlModifier); // Exit
    };

    int aboutWindows = 0;
    rig.settings.writes.clear();
    const Opening opening = whileOpen([&] { rig.window->mnuAbout_Click(); }, [&](frmAbout2 *) {
        poke();
        QTest::qWait(50);
        aboutWindows = int(rig.window->findChildren<frmAbout2 *>().size());
    });
    QVERIFY(opening.ranInside);
    QVERIFY(!opening.watchdogFired);
    QVERIFY(opening.modal);
    QCOMPARE(aboutWindows, 1);
    QCOMPARE(letterBox->text(), QString());
    QCOMPARE(guessClicks.count(), 0);
    QVERIFY(rig.settings.writes.isEmpty());
    QVERIFY(rig.window->isVisible());

    // The same input once it is closed does reach the game window.
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    letterBox->setFocus();
    QTest::keyClick(game, Qt::Key_E);
    QCOMPARE(letterBox->text().toUpper(), QStringLiteral("E"));
    QTest::mouseClick(game, Qt::LeftButton, Qt::NoModifier, rig.centreOf("cmdGuessLetter"));
    QCOMPARE(guessClicks.count(), 1);
}

void TestAboutWindow::figureResource()
{
    QFile file(QString::fromLatin1(frmAbout2::kFigureResource));
    QVERIFY2(file.open(QIODevice::ReadOnly), "the figure is compiled into the program");
    const QByteArray bytes = file.readAll();
    const GifFacts gif = readGif(bytes);
    QCOMPARE(gif.version, QByteArray("GIF89a"));
    QCOMPARE(QSize(gif.width, gif.height), QSize(40, 81));
    QCOMPARE(gif.globalColours, 32);
    QCOMPARE(gif.transparentIndex, 23);
    QVERIFY(bytes.endsWith(';')); // the trailer: the file is whole
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "gif");
    QCOMPARE(reader.imageCount(), 1); // one still frame, not an animation

    frmAbout2 about;
    const QPixmap shown = about.findChild<QLabel *>(QStringLiteral("imgGallows"))->pixmap();
    QCOMPARE(shown.size(), QSize(40, 81));
    // The transparent index really reads as clear.
    QCOMPARE(qAlpha(shown.toImage().convertToFormat(QImage::Format_ARGB32).pixel(0, 0)), 0);
}

void TestAboutWindow::bothWindowsWearTheIcon()
{
    Rig rig(pictureRoot.path());
    frmAbout2 about(rig.window.get());
    const QImage expected = embeddedIcon().pixmap(QSize(32, 32), 1.0).toImage();
    QVERIFY(!expected.isNull());
    for (QWidget *w : {static_cast<QWidget *>(rig.window.get()), static_cast<QWidget *>(&about)})
        QCOMPARE(w->windowIcon().pixmap(QSize(32, 32), 1.0).toImage(), expected);
}

void TestAboutWindow::focusedHangOn_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier);
}

// Hang On has the focus when the window opens, shows it, and Enter or Space
// on it presses it once.
void TestAboutWindow::focusedHangOn()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    frmAbout2 about;
    auto *ok = about.findChild<QPushButton *>(QStringLiteral("cmdOk"));
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QTRY_COMPARE(QApplication::focusWidget(), ok);
    const QImage focused = ok->grab().toImage();
    ok->clearFocus();
    QVERIFY2(ok->grab().toImage() != focused, "the focus does not show on Hang On");
    ok->setFocus(Qt::OtherFocusReason);
    QSignalSpy pressed(ok, &QPushButton::clicked);
    QTest::keyClick(ok, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_VERIFY(!about.isVisible());
    QCOMPARE(pressed.count(), 1);
}

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
