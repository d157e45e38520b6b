#include "app/message_box.h"

#include "util/shell_texts.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

bool running_headless()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

void show_error_box(const QString& caption, const QString& message)
{
    if (running_headless()) {
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), message.toUtf8().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox::critical(nullptr, caption, message);
}

QString error_box_text(const QString& message)
{
    return QString::fromStdU16String(error_box_text(message.toStdU16String()));
}
