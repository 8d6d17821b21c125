#pragma once
// AboutDialog, the about window: the game's name and edition, the authors and
// a little figure, closed with its one button. Each opening builds a fresh
// one (see GameWindow::showAbout). Also home to the application icon,
// which both windows wear.

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace gallows {

// The icon both windows wear, made once from the pictures the program
// carries (16 to 64 pixels), which needs no theme lookup.
QIcon applicationIcon();

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *owner = nullptr);

    // The client-area size and the picture, in pixels.
    static constexpr int kWidth = 253;
    static constexpr int kHeight = 106;
    static const char *const kFigureResource;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *m_okButton = nullptr;
    QLabel *m_credits = nullptr;
    QLabel *m_edition = nullptr;
    QLabel *m_figure = nullptr;
    QLabel *m_heading = nullptr;
};

} // namespace gallows
