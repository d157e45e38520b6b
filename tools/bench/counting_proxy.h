#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

// A TCP relay from a free loopback port to another loopback port, to put a
// network's latency between a client and its server and to see how often
// the client waits for an answer. A chunk read on one side is written to
// the other once its direction's delay has passed since it arrived; the
// chunks behind it are read meanwhile, so the delay is latency, not a
// limit on throughput.
class CountingProxy {
public:
    explicit CountingProxy(int target_port);
    ~CountingProxy();  // every connection closed, every thread joined
    CountingProxy(const CountingProxy&) = delete;
    CountingProxy& operator=(const CountingProxy&) = delete;

    int port() const { return port_; }
    // For chunks arriving from now on, in each direction.
    void set_delay(std::chrono::microseconds each_direction) { delay_us_ = each_direction.count(); }

    // Over every connection so far, the client's turns: each time it sends
    // after its server has sent since its previous send (a connection's
    // first send is one). Its round trips, however its bytes are split.
    std::uint64_t turns() const { return turns_; }
    std::uint64_t connections() const { return connections_; }

private:
    class Relay;
    void accept_loop(std::stop_token stop, int listener);

    int target_port_;
    int port_ = 0;
    std::atomic<long long> delay_us_{0};
    std::atomic<std::uint64_t> turns_{0};
    std::atomic<std::uint64_t> connections_{0};
    std::vector<std::unique_ptr<Relay>> relays_;  // the accepting thread's alone while it runs
    std::jthread acceptor_;
};
