#include "app/tray_presence.h"

#include "util/shell_texts.h"

QIcon main_icon()
{
    QIcon icon;
    for (const auto* size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/MAINICON/%1.png").arg(QLatin1String(size)));
    return icon;
}

QIcon settings_picture()
{
    return QIcon(QStringLiteral(":/btnConfig.png"));
}

QString tray_tip_text(const QString& title)
{
    return QString::fromStdU16String(tray_tip_text(title.toStdU16String()));
}
