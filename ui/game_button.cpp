#include "ui/game_button.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace gallows {

GameButton::GameButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    // No button of the game is the window's default: Enter acts on the
    // focused one only (below).
    setAutoDefault(false);
}

void GameButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        // A held key presses it once.
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void GameButton::paintEvent(QPaintEvent *)
{
    // The style draws its focus frame only after the focus moved by keyboard;
    // the game moves it too (New Game after a loss or a win), and a player on
    // the keyboard must see where Enter will act.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (hasFocus())
        option.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    painter.drawControl(QStyle::CE_PushButton, option);
    // A default button wears the same outline as a focused one: the focus
    // gets the style's focus frame inside it as well.
    if (hasFocus()) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.state |= QStyle::State_KeyboardFocusChange;
        frame.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        frame.backgroundColor = palette().color(QPalette::Button);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
    }
}

} // namespace gallows
