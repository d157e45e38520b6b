#include "tools/bench/counting_proxy.h"

#include "support/loopback_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error socket_error(const std::string& what)
{
    return std::runtime_error("proxy: " + what + ": " + std::strerror(errno));
}

using Socket = LoopbackSocket;

// The relay's own latency would otherwise add Nagle's wait to every chunk.
void send_at_once(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

Socket connected_to(int port)
{
    Socket s;
    const auto address = loopback(port);
    if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw socket_error("connect to port " + std::to_string(port));
    send_at_once(s.fd());
    return s;
}

// One direction of a connection: a reader that stamps each chunk with when
// it may go, and a writer that sends it then.
class DelayedPipe {
public:
    DelayedPipe(int from, int to, const std::atomic<long long>& delay_us, std::function<void()> on_chunk)
        : from_(from), to_(to), delay_us_(delay_us), on_chunk_(std::move(on_chunk))
    {
        reader_ = std::jthread([this] { read_loop(); });
        writer_ = std::jthread([this] { write_loop(); });
    }
    DelayedPipe(const DelayedPipe&) = delete;
    DelayedPipe& operator=(const DelayedPipe&) = delete;

private:
    struct Chunk {
        Clock::time_point due;
        std::string bytes;  // empty: the source has ended
    };

    void read_loop()
    {
        std::string buffer(64 * 1024, '\0');
        for (;;) {
            const ssize_t n = ::recv(from_, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) on_chunk_();
            push({Clock::now() + std::chrono::microseconds(delay_us_.load()),
                  n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : std::string()});
            if (n <= 0) return;
        }
    }

    void write_loop()
    {
        bool failed = false;
        for (;;) {
            Chunk chunk = pop();
            std::this_thread::sleep_until(chunk.due);
            if (chunk.bytes.empty()) {
                ::shutdown(to_, SHUT_WR);
                return;
            }
            if (!failed && !send_all(chunk.bytes)) {
                // The other side is gone: this side ends too, and what it
                // still sends is dropped.
                failed = true;
                ::shutdown(from_, SHUT_RDWR);
            }
        }
    }

    bool send_all(const std::string& bytes)
    {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(to_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    void push(Chunk chunk)
    {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(chunk));
        }
        ready_.notify_one();
    }

    Chunk pop()
    {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty(); });
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        return chunk;
    }

    int from_;
    int to_;
    const std::atomic<long long>& delay_us_;
    std::function<void()> on_chunk_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Chunk> queue_;
    std::jthread reader_;  // last: joined before the members they use go
    std::jthread writer_;
};

}  // namespace

// One client connection and its own connection to the server.
class CountingProxy::Relay {
public:
    Relay(int client, int server_port, const std::atomic<long long>& delay_us, std::atomic<std::uint64_t>& turns)
        : client_(client),
          server_(connected_to(server_port)),
          to_server_(client_.fd(), server_.fd(), delay_us,
                     [this, &turns] {
                         if (answered_.exchange(false)) ++turns;
                     }),
          to_client_(server_.fd(), client_.fd(), delay_us, [this] { answered_ = true; })
    {
    }
    ~Relay()
    {
        // Wakes both readers; the pipes' threads then end and are joined
        // before the sockets close.
        ::shutdown(client_.fd(), SHUT_RDWR);
        ::shutdown(server_.fd(), SHUT_RDWR);
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

private:
    Socket client_;
    Socket server_;
    std::atomic<bool> answered_{true};
    DelayedPipe to_server_;
    DelayedPipe to_client_;
};

CountingProxy::CountingProxy(int target_port) : target_port_(target_port)
{
    auto listener = std::make_unique<Socket>();
    auto address = loopback(0);
    socklen_t length = sizeof address;
    if (::bind(listener->fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(listener->fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(listener->fd(), 16) != 0)
        throw socket_error("listen on loopback");
    port_ = ntohs(address.sin_port);
    // The listener lives as long as the thread that accepts on it.
    acceptor_ = std::jthread(
        [this, listener = std::move(listener)](std::stop_token stop) { accept_loop(stop, listener->fd()); });
}

CountingProxy::~CountingProxy()
{
    acceptor_.request_stop();
    if (acceptor_.joinable()) acceptor_.join();
    relays_.clear();
}

void CountingProxy::accept_loop(std::stop_token stop, int listener)
{
    while (!stop.stop_requested()) {
        pollfd waiting{.fd = listener, .events = POLLIN, .revents = 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        send_at_once(client);
        try {
            relays_.push_back(std::make_unique<Relay>(client, target_port_, delay_us_, turns_));
            ++connections_;
        } catch (const std::exception&) {
            // The server refused: the client sees its connection closed.
        }
    }
}
