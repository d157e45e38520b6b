// quintara-service: the substitute web service as a program.
//
//   quintara-service [--products N] [--departments D] [--bad K] [--seed S]
//                    [--token T] [--port P] [--cert-dir DIR] [--record FILE]
//                    [--delay-path PATH --delay-ms MS] [--stop-on-stdin-eof]
//
// Prints "READY https://127.0.0.1:PORT/ CA=/path/ca.pem" once it listens and
// serves until SIGTERM or SIGINT (or the end of stdin when asked). The record
// file gets, rewritten at each event and at the end, the service's clock (ms
// since the epoch) at the first status request and at the confirmation:
//   first_status_ms 1700000000000
//   confirmation_ms 1700000012345
//   requests 42
#include "tools/quintara_service.h"

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

struct Arguments {
    ServiceOptions service;
    std::filesystem::path record_file;
    std::string delay_path;
    long delay_ms = 0;
    bool stop_on_stdin_eof = false;
};

long long number_argument(const std::string& name, const char* text)
{
    long long value = 0;
    std::string_view view(text);
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (error != std::errc() || end != view.data() + view.size() || value < 0)
        throw std::invalid_argument(name + " needs a whole number, not '" + view.data() + "'");
    return value;
}

Arguments parse_arguments(int argc, char** argv)
{
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--stop-on-stdin-eof") {
            a.stop_on_stdin_eof = true;
            continue;
        }
        if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
        const char* value = argv[++i];
        if (name == "--products")
            a.service.catalogue.products = number_argument(name, value);
        else if (name == "--departments")
            a.service.catalogue.departments = number_argument(name, value);
        else if (name == "--bad")
            a.service.catalogue.bad = number_argument(name, value);
        else if (name == "--seed")
            a.service.catalogue.seed = static_cast<std::uint32_t>(number_argument(name, value));
        else if (name == "--port")
            a.service.port = static_cast<int>(number_argument(name, value));
        else if (name == "--token")
            a.service.expected_token = value;
        else if (name == "--cert-dir")
            a.service.certificate_dir = value;
        else if (name == "--record")
            a.record_file = value;
        else if (name == "--delay-path")
            a.delay_path = value;
        else if (name == "--delay-ms")
            a.delay_ms = static_cast<long>(number_argument(name, value));
        else
            throw std::invalid_argument("unknown option " + name);
    }
    return a;
}

long long epoch_ms(std::chrono::system_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

void write_record(const std::filesystem::path& file, const QuintaraService& service)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::string text;
    if (auto t = service.first_status_time()) text += "first_status_ms " + std::to_string(epoch_ms(*t)) + "\n";
    if (auto t = service.confirmation_time()) text += "confirmation_ms " + std::to_string(epoch_ms(*t)) + "\n";
    text += "requests " + std::to_string(service.received().size()) + "\n";
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::filesystem::rename(temporary, file);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        Arguments arguments = parse_arguments(argc, argv);

        // Block the stop signals in every thread, so the main thread alone
        // takes them with sigwait.
        sigset_t stop_signals;
        sigemptyset(&stop_signals);
        sigaddset(&stop_signals, SIGTERM);
        sigaddset(&stop_signals, SIGINT);
        pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

        // Read on the serving thread, set here once the service exists.
        std::atomic<QuintaraService*> running = nullptr;
        if (!arguments.record_file.empty())
            arguments.service.timings_changed = [&] {
                if (QuintaraService* service = running.load()) write_record(arguments.record_file, *service);
            };
        QuintaraService service(arguments.service);
        running = &service;
        if (!arguments.delay_path.empty())
            service.delay(arguments.delay_path, std::chrono::milliseconds(arguments.delay_ms));

        std::cout << "READY " << service.base_url() << " CA=" << service.ca_file().string() << std::endl;

        if (arguments.stop_on_stdin_eof)
            std::thread([] {
                char buffer[256];
                while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) { }
                kill(getpid(), SIGTERM);
            }).detach();

        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
        service.stop();
        if (!arguments.record_file.empty()) write_record(arguments.record_file, service);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "quintara-service: " << e.what() << "\n";
        return 1;
    }
}
