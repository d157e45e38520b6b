#include "app/tray_presence.h"

namespace {

constexpr qsizetype tray_tip_capacity = 127;

}  // namespace

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
    if (title.size() <= tray_tip_capacity) return title;
    qsizetype length = tray_tip_capacity;
    if (title.at(length - 1).isHighSurrogate()) --length;
    return title.left(length);
}
