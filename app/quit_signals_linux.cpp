#include "app/quit_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signal_pipe[2] = {-1, -1};

void on_signal(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(signal_pipe[1], &byte, 1);
}

}  // namespace

void route_quit_signals(std::function<void()> on_quit) {
    if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [on_quit = std::move(on_quit)] {
        char buffer[16];
        while (::read(signal_pipe[0], buffer, sizeof buffer) > 0) {
        }
        on_quit();
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
