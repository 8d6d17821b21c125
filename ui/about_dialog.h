#pragma once
// AboutDialog, the about window: the game's name and edition, the authors and
// a little figure, closed with its one button. Each opening builds a fresh
// one (see GameWindow::showAbout). Also home to the application icon,
// which every window of the game wears.

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QList>

class QLabel;
class QPushButton;

namespace gallows {

// The application icon's pictures, 16 to 64 pixels, read from those the
// program carries (no theme lookup). Images, not pixmaps, so they can be
// read on any thread: start-up reads them on its catalogue thread.
QList<QImage> applicationIconImages();

// The application icon, made of `images`, or of applicationIconImages() read
// now when there are none. Start-up sets it for the whole application, and
// the windows take it from there.
QIcon applicationIcon(QList<QImage> images = {});

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
