#pragma once
// The two guess boxes: single-line edits where Enter submits the guess
// instead of reaching the box, and where the window's menu shortcuts win
// over the edit's own keys (Ctrl+A is About here, not Select All).

#include <QKeySequence>
#include <QLineEdit>
#include <QList>

#include <functional>

namespace gallows {

class GuessBox : public QLineEdit {
public:
    explicit GuessBox(QWidget *parent = nullptr) : QLineEdit(parent) {}

    // Called for Return and keypad Enter; the key itself goes nowhere.
    void setEnterHandler(std::function<void()> handler) { m_onEnter = std::move(handler); }
    // Key combinations the box must leave to the window's menus.
    void setMenuShortcuts(const QList<QKeySequence> &keys) { m_menuKeys = keys; }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool isMenuShortcut(const QKeyEvent *event) const;

    std::function<void()> m_onEnter;
    QList<QKeySequence> m_menuKeys;
};

} // namespace gallows
