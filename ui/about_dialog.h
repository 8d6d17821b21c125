#pragma once
// frmAbout2, the about window: the game's name and edition, the authors and
// a little figure, closed with its one button. Each opening builds a fresh
// one (see frmGallows::mnuAbout_Click). Also home to the application icon,
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

class frmAbout2 : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout2(QWidget *owner = nullptr);

    // The client-area size and the picture, in pixels.
    static constexpr int kWidth = 253;
    static constexpr int kHeight = 106;
    static const char *const kFigureResource;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void cmdOk_Click();

    QPushButton *cmdOk = nullptr;
    QLabel *lblMe = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *imgGallows = nullptr;
    QLabel *lblGallows = nullptr;
};

} // namespace gallows
