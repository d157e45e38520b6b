#pragma once

#include <netinet/in.h>

// A TCP socket that closes itself, and the loopback address of a port:
// what the private server's launcher and the benchmark's relay both need.
class LoopbackSocket {
public:
    LoopbackSocket();  // a new TCP socket; throws std::runtime_error on failure
    explicit LoopbackSocket(int fd);  // takes an accepted one; throws when fd < 0
    ~LoopbackSocket();
    LoopbackSocket(LoopbackSocket&& other) noexcept;
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(LoopbackSocket&&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

sockaddr_in loopback(int port);
