#include "servers/pop3/tcpproxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <list>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltrane::test {

namespace {

void nonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

} // namespace

TcpProxy::TcpProxy(int targetPort, std::chrono::milliseconds delay) : target_(targetPort), delay_(delay) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

TcpProxy::~TcpProxy() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(listener_);
}

std::string TcpProxy::clientBytes(size_t connection) const {
    std::lock_guard lock(mutex_);
    return connection < clientBytes_.size() ? clientBytes_[connection] : std::string();
}

size_t TcpProxy::connections() const {
    std::lock_guard lock(mutex_);
    return clientBytes_.size();
}

// Moves what is due from one side to the other; false when the pair is finished with.
bool TcpProxy::pump(Direction& direction) {
    const auto now = std::chrono::steady_clock::now();
    while (!direction.queue.empty() && direction.queue.front().due <= now) {
        Chunk& chunk = direction.queue.front();
        const ssize_t n = ::send(direction.to, chunk.bytes.data(), chunk.bytes.size(), MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        chunk.bytes.erase(0, static_cast<size_t>(n));
        if (!chunk.bytes.empty())
            return true;
        direction.queue.erase(direction.queue.begin());
    }
    if (direction.ended && direction.queue.empty())
        return false;
    return true;
}

void TcpProxy::run() {
    std::list<Link> links;
    while (!stop_) {
        std::vector<pollfd> watched{{listener_, POLLIN, 0}};
        auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
        for (Link& link : links) {
            for (Direction* d : {&link.up, &link.down}) {
                short events = d->ended ? 0 : POLLIN;
                if (!d->queue.empty()) {
                    next = std::min(next, d->queue.front().due);
                    if (d->queue.front().due <= std::chrono::steady_clock::now())
                        events = static_cast<short>(events | POLLOUT);
                }
                // The receiving side of this direction is watched for writing, the sending side for reading.
                watched.push_back({d->from, static_cast<short>(events & POLLIN), 0});
                if (events & POLLOUT)
                    watched.push_back({d->to, POLLOUT, 0});
                continue;
            }
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
        poll(watched.data(), watched.size(), static_cast<int>(std::max<long long>(0, wait.count())));

        if (watched[0].revents & POLLIN) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                const int server = connectTo(target_);
                if (server < 0) {
                    close(client);
                } else {
                    nonBlocking(client);
                    nonBlocking(server);
                    Link link;
                    {
                        std::lock_guard lock(mutex_);
                        link.index = clientBytes_.size();
                        clientBytes_.emplace_back();
                    }
                    link.up.from = client;
                    link.up.to = server;
                    link.down.from = server;
                    link.down.to = client;
                    links.push_back(std::move(link));
                }
            }
        }
        for (auto it = links.begin(); it != links.end();) {
            bool alive = true;
            for (Direction* d : {&it->up, &it->down}) {
                if (d->ended)
                    continue;
                char chunk[65536];
                const ssize_t n = recv(d->from, chunk, sizeof(chunk), MSG_DONTWAIT);
                if (n > 0) {
                    if (d == &it->up) {
                        std::lock_guard lock(mutex_);
                        clientBytes_[it->index].append(chunk, static_cast<size_t>(n));
                    }
                    d->queue.push_back(
                        {std::chrono::steady_clock::now() + delay_, std::string(chunk, static_cast<size_t>(n))});
                } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                    d->ended = true;
                }
            }
            alive = pump(it->up) && pump(it->down);
            if (!alive) {
                close(it->up.from);
                close(it->down.from);
                it = links.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Link& link : links) {
        close(link.up.from);
        close(link.down.from);
    }
}

} // namespace veltrane::test
