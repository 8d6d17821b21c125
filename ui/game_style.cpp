#include "ui/game_style.h"

namespace gallows {

QIcon GameStyle::standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton || icon == SP_ToolBarVerticalExtensionButton)
        return QIcon();
    return QProxyStyle::standardIcon(icon, option, widget);
}

} // namespace gallows
