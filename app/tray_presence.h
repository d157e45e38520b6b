#pragma once

#include <QIcon>
#include <QString>

// The program's icon "MAINICON", compiled in; used for the window and the
// notification area.
QIcon main_icon();

// The 20 x 20 picture of the settings button.
QIcon settings_picture();

// The core's tip rule for Qt's text.
QString tray_tip_text(const QString& title);
