#pragma once

#include <QIcon>
#include <QString>

// The program's icon "MAINICON", compiled in; used for the window and the
// notification area.
QIcon main_icon();

// The 20 x 20 picture of the settings button.
QIcon settings_picture();

// The icon tip holds at most 127 characters; a cut never splits a character
// written as two UTF-16 units.
QString tray_tip_text(const QString& title);
