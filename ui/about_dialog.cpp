#include "ui/about_dialog.h"

#include "ui/game_button.h"

#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <mutex>

// The icon and the figure live in ui/resources/gallows.qrc, compiled into
// this static library. Nothing else in the program refers to that object
// file, so it is pulled in by name before the first use.
static void loadGallowsResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(gallows); });
}

namespace gallows {

const char *const AboutDialog::kFigureResource = ":/gallows/about_figure.gif";

namespace {

int px(double twips)
{
    return qRound(twips / 15.0);
}

QRect twipRect(double left, double top, double width, double height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// The window font, as in the game window: 8.25 pt in pixels so the layout
// keeps its size on any screen.
QFont windowFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

// The two headings' face (8.25 pt and 15.75 pt bold).
QFont headingFont(int pixels, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

const QString kCredits = QStringLiteral("By Mara Tarvolin and Jonas Kell");
const QString kEdition = QStringLiteral("Tarvolin Edition");

} // namespace

QList<QImage> applicationIconImages()
{
    loadGallowsResources();
    QList<QImage> images;
    // Every size the icon holds goes into the window's icon property on X11
    // and stays in memory, so it stops at 64 pixels, what task bars and
    // window lists draw: launchers and menus take the larger ones from the
    // installed icon theme. Without format detection Qt's own PNG reader is
    // used at once; with it, Qt loads every image plugin it has (SVG, JPEG,
    // ...) to ask each whether it reads PNG.
    for (int size : {16, 32, 48, 64}) {
        QImageReader reader(QStringLiteral(":/gallows/icons/%1/" GALLOWS_APP_ID ".png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            images.append(image);
    }
    return images;
}

QIcon applicationIcon(QList<QImage> images)
{
    if (images.isEmpty())
        images = applicationIconImages();
    QIcon icon;
    for (const QImage &image : std::as_const(images))
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

AboutDialog::AboutDialog(QWidget *owner) : QDialog(owner)
{
    loadGallowsResources();
    setObjectName(QStringLiteral("frmAbout2"));
    setWindowTitle(QStringLiteral("About"));
    // Fixed single frame with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    setSizeGripEnabled(false);
    setFont(windowFont());
    setAccessibleName(QStringLiteral("About Gallows"));

    auto label = [this](const char *name, const QRect &where) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(where);
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setFocusPolicy(Qt::NoFocus);
        // Opaque on the window's own background unless said otherwise.
        l->setBackgroundRole(QPalette::Window);
        l->setAutoFillBackground(true);
        return l;
    };

    // Created in the design's order, which is also the stacking order: the
    // big title is last, on top, and lets the edition line show through.
    m_okButton = new GameButton(QStringLiteral("&Hang On"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOk"));
    m_okButton->setGeometry(twipRect(1515, 1140, 1035, 375));
    m_okButton->setDefault(true);
    m_okButton->setFocusPolicy(Qt::StrongFocus);
    m_okButton->setAccessibleName(QStringLiteral("Hang On"));
    m_okButton->setAccessibleDescription(QStringLiteral("Closes the About window"));

    m_credits = label("lblMe", twipRect(705, 795, 2655, 255));
    m_credits->setForegroundRole(QPalette::ButtonText);
    m_credits->setText(kCredits);
    m_credits->setAccessibleName(kCredits);

    m_edition = label("lblVersion", twipRect(960, 485, 2175, 255));
    m_edition->setFont(headingFont(11, false));
    m_edition->setForegroundRole(QPalette::Highlight);

    m_figure = label("imgGallows", twipRect(120, 165, 600, 1215));
    m_figure->setAutoFillBackground(false);
    m_figure->setScaledContents(true);
    m_figure->setPixmap(QPixmap(QString::fromLatin1(kFigureResource)));
    m_figure->setAccessibleName(QStringLiteral("Figure"));
    m_figure->setAccessibleDescription(
        QStringLiteral("A wounded man in torn clothes shambling to the right"));

    m_heading = label("lblGallows", twipRect(840, 105, 2400, 495));
    m_heading->setFont(headingFont(21, true));
    m_heading->setForegroundRole(QPalette::Highlight);
    m_heading->setAutoFillBackground(false); // transparent
    m_heading->setText(QStringLiteral("Gallows"));
    m_heading->setAccessibleName(QStringLiteral("Gallows"));

    m_edition->setText(kEdition);
    m_edition->setAccessibleName(kEdition);

    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    m_okButton->setFocus(Qt::OtherFocusReason);
}

// Esc presses the button, just as Enter does (the default button).
void AboutDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_okButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace gallows
