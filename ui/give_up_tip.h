#pragma once
// The tip on the Give Up button: while the pointer rests on the button, a
// small tooltip-coloured popup shows a bold title with the information icon
// above one line of text.

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLabel;

namespace gallows {

class GiveUpTip : public QFrame {
public:
    // Watches `anchor` for tooltip requests; lives and dies with it.
    GiveUpTip(QWidget *anchor, const QString &title, const QString &text);

    QString title() const;
    QString text() const;
    // Shows the tip near the global point `pointer`, as a tooltip would be.
    void popUp(const QPoint &pointer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();

    QPointer<QWidget> m_anchor;
    QString m_titleText;
    QString m_bodyText;
    QLabel *m_icon = nullptr;
    QLabel *m_heading = nullptr;
    QLabel *m_body = nullptr;
    QTimer m_expiry;
};

} // namespace gallows
