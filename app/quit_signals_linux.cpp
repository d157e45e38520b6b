#include "app/quit_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t quit_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void hold_quit_signals()
{
    const sigset_t set = quit_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void route_quit_signals(std::function<void()> on_quit)
{
    const sigset_t set = quit_signals();
    const int fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0) {
        // Held for good they would make the process deaf to them: let them
        // end it as they would any program.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [fd, on_quit = std::move(on_quit)] {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) { }
        on_quit();
    });
}
