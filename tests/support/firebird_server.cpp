#include "support/firebird_server.h"

#include "support/loopback_socket.h"

#include "support/process.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Where Debian's firebird3.0-server puts what a server root needs.
const fs::path server_program = "/usr/sbin/firebird";
const fs::path engine_files = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
const fs::path package_config = "/etc/firebird/3.0";
const fs::path security_template = "/var/lib/firebird/3.0/system/security3.fdb";
const fs::path isql = "/usr/bin/isql-fb";

using Socket = LoopbackSocket;

int free_loopback_port()
{
    Socket s;
    auto address = loopback(0);
    socklen_t length = sizeof address;
    if (bind(s.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error(std::string("no free loopback port: ") + std::strerror(errno));
    return ntohs(address.sin_port);
}

bool accepts(int port)
{
    Socket s;
    const auto address = loopback(port);
    return connect(s.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void require_installed(const fs::path& file)
{
    if (!fs::exists(file))
        throw std::runtime_error(file.string() +
                                 " is missing: the server tests need firebird3.0-server (scripts/install-deps.sh)");
}

}  // namespace

FirebirdServer::FirebirdServer()
{
    for (const auto& file : {server_program, isql, security_template}) require_installed(file);
    const auto& r = root_.path();
    for (const char* name : {"UDF", "include", "intl", "lib", "plugins"})
        fs::create_directory_symlink(engine_files / name, r / name);
    fs::create_symlink(engine_files / "firebird.msg", r / "firebird.msg");
    for (const char* name : {"plugins.conf", "fbintl.conf"}) fs::copy_file(package_config / name, r / name);
    fs::copy_file(security_template, r / "security3.fdb");
    fs::create_directory(r / "lock");
    write_file_bytes(r / "databases.conf", "security.db = " + (r / "security3.fdb").string() + "\n");

    port_ = free_loopback_port();
    write_file_bytes(r / "firebird.conf",
                     "RemoteServicePort = " + std::to_string(port_) +
                         "\nRemoteBindAddress = 127.0.0.1\nSecurityDatabase = " + (r / "security3.fdb").string() +
                         "\nAuthServer = Srp\nUserManager = Srp\nServerMode = Super\n"
                         "DatabaseAccess = Full\n");

    // The importer logs in as SYSDBA with its fixed password; the embedded
    // engine, under this root, may set it without knowing the old one.
    write_file_bytes(r / "sysdba.sql", "create or alter user SYSDBA password 'plumbdoor' using plugin Srp;\ncommit;\n");
    ProcessOptions options;
    options.args = {"-q", "-b", "-user", "SYSDBA", "-i", (r / "sysdba.sql").string(), (r / "security3.fdb").string()};
    options.env = {{"FIREBIRD", r.string()}, {"FIREBIRD_LOCK", (r / "lock").string()}};
    const auto set = run_process(isql, options);
    if (set.exit_code != 0) throw std::runtime_error("setting SYSDBA's password failed: " + set.out + set.err);

    start();
}

FirebirdServer::~FirebirdServer()
{
    try {
        stop();
    } catch (...) {
    }
}

std::string FirebirdServer::database_name(const fs::path& file) const
{
    return "127.0.0.1/" + std::to_string(port_) + ":" + file.string();
}

void FirebirdServer::start()
{
    if (running()) return;
    spawn();
    wait_until_accepting();
}

void FirebirdServer::stop()
{
    end(SIGTERM, true);
}

void FirebirdServer::kill()
{
    end(SIGKILL, false);
}

void FirebirdServer::spawn()
{
    const auto& r = root_.path();
    auto env_texts = environment_with({{"FIREBIRD", r.string()}, {"FIREBIRD_LOCK", (r / "lock").string()}});
    std::vector<std::string> argv_texts{server_program.string()};
    auto argv = c_strings(argv_texts);
    auto envp = c_strings(env_texts);
    const std::string output = (r / "server.out").string();
    const pid_t parent = getpid();
    sigset_t unblocked;
    sigemptyset(&unblocked);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        // Only async-signal-safe calls until exec: the test may run threads.
        setpgid(0, 0);
        sigprocmask(SIG_SETMASK, &unblocked, nullptr);  // exec keeps the test's mask: SIGTERM must reach it
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(127);
        // The test's own sockets (a substitute service's listener) must not
        // stay open in the server.
        close_range(3, ~0U, 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    pid_ = pid;
}

void FirebirdServer::wait_until_accepting()
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!accepts(port_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            throw std::runtime_error("the Firebird server ended before accepting on port " + std::to_string(port_) +
                                     ": " + what_it_said());
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill();
            throw std::runtime_error("the Firebird server did not accept on port " + std::to_string(port_) +
                                     " within 30 s: " + what_it_said());
        }
        std::this_thread::sleep_for(10ms);
    }
}

void FirebirdServer::end(int signal, bool escalate)
{
    if (!running()) return;
    ::kill(pid_, signal);
    // It ends on SIGTERM within half a second, but about one time in twenty
    // hangs instead; its databases are scratch, so it is killed soon.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (escalate && std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "The Firebird server (pid %d) ignored SIGTERM for 2 s; killing it\n", pid_);
            ::kill(pid_, SIGKILL);
            escalate = false;
        }
        std::this_thread::sleep_for(5ms);
    }
    pid_ = 0;
}

std::string FirebirdServer::what_it_said() const
{
    const auto said = read_file_bytes(root_ / "server.out");
    return said.empty() ? "(nothing on its output; see the machine's Firebird log)" : said;
}
