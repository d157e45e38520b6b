#include "app/message_box.h"

#include "util/shell_texts.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

// Whole seconds still to go, rounded up: the text says 60 until a full
// second has passed.
int seconds_until(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

QString countdown_text(const QString& message, int seconds_left)
{
    return QString::fromStdU16String(failure_box_text(message.toStdU16String(), seconds_left));
}

}  // namespace

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
    const int lifetime = failure_box_lifetime();
    const auto deadline = Clock::now() + std::chrono::seconds(lifetime);
    QMessageBox box(QMessageBox::Critical, caption, countdown_text(message, lifetime), QMessageBox::Ok);
    // Read from the clock, not counted in ticks: a late tick on a loaded
    // machine must not make the box stay longer.
    QTimer countdown;
    countdown.setInterval(250);
    QObject::connect(&countdown, &QTimer::timeout, &box, [&] {
        const int left = seconds_until(deadline);
        if (left == 0) box.button(QMessageBox::Ok)->click();
        else box.setText(countdown_text(message, left));
    });
    countdown.start();
    box.exec();
}

QString error_box_text(const QString& message)
{
    return QString::fromStdU16String(error_box_text(message.toStdU16String()));
}
