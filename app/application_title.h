#pragma once

#include <QString>

// The title the program shows (error box caption, tray tip): the executable's
// file name cut before its first full stop, all but the first character in
// lower case ("Price Loader.exe" gives "Price loader").
QString application_title_from_file_name(const QString& file_name);
QString application_title();
