#include "app/application_title.h"

#include "util/shell_texts.h"

#include <QCoreApplication>
#include <QFileInfo>

QString application_title_from_file_name(const QString& file_name)
{
    return QString::fromStdU16String(
        application_title_from_file_name(file_name.toStdU16String(), [](std::u16string_view text) {
            return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toLower().toStdU16String();
        }));
}

QString application_title()
{
    return application_title_from_file_name(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}
