#pragma once
// The game's push button. Enter (Return or keypad Enter) and Space press it
// whenever it has the focus, and the focus always shows on it, whichever way
// it got there: by Tab, by a click or from the game itself.

#include <QPushButton>

namespace gallows {

class GameButton : public QPushButton {
public:
    explicit GameButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace gallows
