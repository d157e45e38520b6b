#pragma once

#include <QString>

// The title by Qt's case mapping, as Qt shows it.
QString application_title_from_file_name(const QString& file_name);
QString application_title();
