#include "app/message_box.h"
#include "app/quit_signals.h"
#include "app/ufrmPrincipal.h"
#include "sync/shell_controller.h"
#include "util/shell_texts.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace {

// Without a desktop the program still runs its import, on Qt's offscreen
// platform: no window, no tray.
void choose_offscreen_platform_without_desktop()
{
    const bool has_desktop = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!has_desktop && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void show_start_failure(const std::exception& failure)
{
    show_error_box(QString::fromUtf16(start_failure_caption), QString::fromUtf8(failure.what()));
}

}  // namespace

int main(int argc, char** argv)
{
    hold_quit_signals();
    choose_offscreen_platform_without_desktop();
    QApplication app(argc, argv);

    auto program = start_shell([] { return std::make_unique<TfrmPrincipal>(); }, show_start_failure);
    if (!program) return 1;
    route_quit_signals([controller = program->controller.get()] { controller->quit_chosen(); });

    return app.exec();
}
