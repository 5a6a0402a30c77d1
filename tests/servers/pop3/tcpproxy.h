#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veltrane::test {

// A loopback TCP proxy in front of a server: it records what clients send through it and can hold
// every chunk back for a while in each direction, like a distant server would.
class TcpProxy {
public:
    explicit TcpProxy(int targetPort, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // What the client sent on connection i (counted from 0).
    std::string clientBytes(size_t connection) const;
    size_t connections() const;

private:
    struct Chunk {
        std::chrono::steady_clock::time_point due;
        std::string bytes;
    };
    struct Direction {
        int from = -1;
        int to = -1;
        std::vector<Chunk> queue;
        bool ended = false; // the sender closed; pass that on once the queue is empty
    };
    struct Link {
        size_t index = 0;
        Direction up;   // client to server
        Direction down; // server to client
    };
    void run();
    bool pump(Direction& direction);

    int target_;
    std::chrono::milliseconds delay_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> clientBytes_;
    std::thread thread_;
};

} // namespace veltrane::test
