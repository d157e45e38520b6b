#include "support/loopback_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

LoopbackSocket::LoopbackSocket(int fd) : fd_(fd)
{
    if (fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
}

LoopbackSocket::LoopbackSocket() : LoopbackSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) { }

LoopbackSocket::~LoopbackSocket()
{
    if (fd_ >= 0) ::close(fd_);
}

LoopbackSocket::LoopbackSocket(LoopbackSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) { }

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
