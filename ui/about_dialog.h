#pragma once
// AboutDialog, the about window: the game's name and edition, the authors and
// a little figure, closed with its one button. Each opening builds a fresh
// one (see GameWindow::showAbout). Also home to the application icon,
// which both windows wear.

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QList>

class QLabel;
class QPushButton;

namespace gallows {

// The icon's pictures as the program carries them, 16 to 64 pixels, decoded
// afresh. Safe to call from any thread (start-up does it on a helper thread).
QList<QImage> decodeIconImages();
// The window icon (GUI thread only), made once: of `decoded` when given, else
// of pictures it decodes itself.
QIcon embeddedIcon(const QList<QImage> &decoded = {});
// The icon both windows wear: the embedded one, which needs no theme lookup.
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
