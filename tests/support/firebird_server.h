#pragma once

#include "support/temp_dir.h"

#include <filesystem>
#include <string>
#include <sys/types.h>

// A Firebird server of the program's own (a test's, the benchmark's) on a
// free loopback port: its own root directory, configuration, security
// database (SYSDBA's password is the importer's) and lock directory, so
// neither a server the machine runs nor its configuration is touched. It
// runs in its own process group and dies with the thread that started it,
// so a crashed or killed program leaves no server behind.
class FirebirdServer {
public:
    FirebirdServer();  // prepared and started; throws when it does not come up
    ~FirebirdServer();
    FirebirdServer(const FirebirdServer&) = delete;
    FirebirdServer& operator=(const FirebirdServer&) = delete;

    int port() const { return port_; }
    const std::filesystem::path& root() const { return root_.path(); }  // its configuration, lock files, output
    pid_t pid() const { return pid_; }  // 0 while stopped
    bool running() const { return pid_ != 0; }

    // How the client library reaches `file` through this server.
    std::string database_name(const std::filesystem::path& file) const;

    // Starts again on the same port; returns once the port accepts.
    void start();
    // SIGTERM, then SIGKILL if the server has not ended within 2 s.
    void stop();
    // SIGKILL at once, as a crash: attachments are lost, nothing is flushed.
    void kill();

private:
    void spawn();
    void wait_until_accepting();
    void end(int signal, bool escalate);
    std::string what_it_said() const;

    TempDir root_;
    int port_ = 0;
    pid_t pid_ = 0;
};
