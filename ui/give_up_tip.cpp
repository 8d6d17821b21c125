#include "ui/give_up_tip.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>

namespace gallows {

namespace {

constexpr int kShownForMs = 10000;
constexpr int kIconSize = 16;
// Where a tooltip sits relative to the pointer.
const QPoint kPointerOffset(2, 16);

QFont tipFont(bool bold)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

} // namespace

GiveUpTip::GiveUpTip(QWidget *anchorWidget, const QString &title, const QString &text)
    : QFrame(anchorWidget, Qt::ToolTip | Qt::BypassGraphicsProxyWidget), m_anchor(anchorWidget),
      m_titleText(title), m_bodyText(text)
{
    setObjectName(QStringLiteral("giveUpTip"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAccessibleName(title);
    setAccessibleDescription(text);

    m_expiry.setSingleShot(true);
    m_expiry.setInterval(kShownForMs);
    connect(&m_expiry, &QTimer::timeout, this, &QWidget::hide);

    anchorWidget->installEventFilter(this);
}

// The tip's contents are made the first time it shows. Laying out its text
// loads its fonts, and finding the icon reads the desktop's icon theme:
// nothing start-up needs to wait for, or to hold in memory, for a tip many
// games never show.
void GiveUpTip::build()
{
    if (m_icon)
        return;
    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("giveUpTipIcon"));
    m_icon->setFixedSize(kIconSize, kIconSize);
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this)
                        .pixmap(kIconSize, kIconSize));

    // Each label gets its face before its text, so no other face is loaded.
    auto label = [this](const char *name, bool bold, const QString &caption) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setFont(tipFont(bold));
        l->setTextFormat(Qt::PlainText);
        l->setForegroundRole(QPalette::ToolTipText);
        l->setText(caption);
        return l;
    };
    m_heading = label("giveUpTipTitle", true, m_titleText);
    m_body = label("giveUpTipText", false, m_bodyText);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 5, 8, 6);
    grid->setHorizontalSpacing(5);
    grid->setVerticalSpacing(4);
    grid->addWidget(m_icon, 0, 0, Qt::AlignVCenter);
    grid->addWidget(m_heading, 0, 1, Qt::AlignVCenter);
    grid->addWidget(m_body, 1, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

QString GiveUpTip::title() const { return m_titleText; }

QString GiveUpTip::text() const { return m_bodyText; }

void GiveUpTip::popUp(const QPoint &pointer)
{
    build();
    adjustSize();
    QPoint at = pointer + kPointerOffset;
    if (const QScreen *screen = QGuiApplication::screenAt(pointer)) {
        const QRect room = screen->availableGeometry();
        if (at.x() + width() > room.right())
            at.setX(room.right() - width());
        if (at.y() + height() > room.bottom())
            at.setY(pointer.y() - height() - 2);
        at.setX(std::max(at.x(), room.left()));
        at.setY(std::max(at.y(), room.top()));
    }
    move(at);
    show();
    raise();
    m_expiry.start();
}

bool GiveUpTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_anchor) {
        switch (event->type()) {
        case QEvent::ToolTip:
            if (m_anchor->isEnabled())
                popUp(static_cast<QHelpEvent *>(event)->globalPos());
            return true;
        case QEvent::Leave:
        case QEvent::Hide:
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
        case QEvent::Wheel:
        case QEvent::WindowDeactivate:
        case QEvent::EnabledChange:
            hide();
            break;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace gallows
