#include "app/application_title.h"

#include <QCoreApplication>
#include <QFileInfo>

QString application_title_from_file_name(const QString& file_name)
{
    QString title = file_name.section(QLatin1Char('.'), 0, 0);
    if (title.size() > 1) title = title.left(1) + title.mid(1).toLower();
    return title;
}

QString application_title()
{
    return application_title_from_file_name(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}
