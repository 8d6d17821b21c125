#include "ui/guess_box.h"

#include <QKeyEvent>

namespace gallows {

bool GuessBox::isMenuShortcut(const QKeyEvent *event) const
{
    const QKeySequence pressed(event->keyCombination());
    for (const QKeySequence &key : m_menuKeys) {
        if (key.matches(pressed) == QKeySequence::ExactMatch)
            return true;
    }
    return false;
}

bool GuessBox::event(QEvent *event)
{
    // The edit claims some combinations through ShortcutOverride before the
    // menus see them; leave ours unclaimed so the menu item fires.
    if (event->type() == QEvent::ShortcutOverride
        && isMenuShortcut(static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QLineEdit::event(event);
}

void GuessBox::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter)
        && (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == Qt::NoModifier) {
        event->accept();
        if (m_onEnter)
            m_onEnter();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace gallows
