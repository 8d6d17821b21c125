#pragma once
// The desktop's widget style with one thing left out: the icon of the menu
// bar's overflow button. Every menu bar builds that button, and Qt looks its
// icon up in the icon theme and then loads every image plugin it has to read
// the fallback picture. The game's menu bar always fits, so the button never
// shows; without the lookup the window is built faster and lighter.

#include <QProxyStyle>

namespace gallows {

class GameStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};

} // namespace gallows
