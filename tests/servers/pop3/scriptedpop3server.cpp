#include "servers/pop3/scriptedpop3server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace veltrane::test {

namespace {

constexpr int Slice = 50;             // ms between looks at the stop flag
constexpr int ExpectPatience = 30000; // ms the script waits for an expected client line

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string unescapeBytes(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < text.size() + 0 && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else
            out += c;
    }
    return out;
}

ScriptedPop3Server::ScriptedPop3Server(std::vector<std::string> scripts) : scripts_(std::move(scripts)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        note("cannot listen on a loopback port");
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

ScriptedPop3Server::~ScriptedPop3Server() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(listener_);
}

std::string ScriptedPop3Server::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string ScriptedPop3Server::received(size_t connection) const {
    std::lock_guard lock(mutex_);
    return connection < received_.size() ? received_[connection] : std::string();
}

size_t ScriptedPop3Server::connections() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

std::vector<std::string> ScriptedPop3Server::problems() const {
    std::lock_guard lock(mutex_);
    return problems_;
}

void ScriptedPop3Server::note(std::string problem) {
    std::lock_guard lock(mutex_);
    problems_.push_back(std::move(problem));
}

void ScriptedPop3Server::record(size_t index, const char* data, size_t size) {
    std::lock_guard lock(mutex_);
    received_[index].append(data, size);
}

void ScriptedPop3Server::run() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, Slice) <= 0)
            continue;
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        size_t index;
        {
            std::lock_guard lock(mutex_);
            index = received_.size();
            received_.emplace_back();
        }
        serve(fd, index < scripts_.size() ? scripts_[index] : std::string("CLOSE"), index);
    }
}

bool ScriptedPop3Server::sendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ScriptedPop3Server::readLine(int fd, std::string& buffer, std::string& line, size_t index) {
    auto started = std::chrono::steady_clock::now();
    for (;;) {
        if (const size_t feed = buffer.find('\n'); feed != std::string::npos) {
            line = buffer.substr(0, feed + 1);
            buffer.erase(0, feed + 1);
            return true;
        }
        if (stop_ || std::chrono::steady_clock::now() - started > std::chrono::milliseconds(ExpectPatience))
            return false;
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, Slice) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
        if (n <= 0)
            return false;
        record(index, chunk, static_cast<size_t>(n));
        buffer.append(chunk, static_cast<size_t>(n));
    }
}

void ScriptedPop3Server::serve(int fd, const std::string& script, size_t index) {
    std::istringstream steps(script);
    std::string step;
    std::string buffer;
    bool open = true;
    while (open && !stop_ && std::getline(steps, step)) {
        if (!step.empty() && step.back() == '\r')
            step.pop_back();
        if (step.rfind("S: ", 0) == 0 || step == "S:") {
            open = sendAll(fd, step.substr(std::min<size_t>(3, step.size())) + "\r\n");
        } else if (step.rfind("R: ", 0) == 0) {
            open = sendAll(fd, unescapeBytes(step.substr(3)));
        } else if (step.rfind("W: ", 0) == 0) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stoi(step.substr(3)));
            while (!stop_ && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else if (step.rfind("C: ", 0) == 0) {
            std::string line;
            if (!readLine(fd, buffer, line, index)) {
                note("connection " + std::to_string(index) + ": no line came for \"" + step + "\"");
                open = false;
                break;
            }
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            const std::string expected = step.substr(3);
            if (expected != "*" && line != expected) {
                note("connection " + std::to_string(index) + ": expected \"" + expected + "\", got \"" + line + "\"");
                open = false;
            }
        } else if (step == "CLOSE") {
            break;
        } else if (step == "RESET") {
            linger hard{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
            break;
        } else if (!step.empty()) {
            note("unknown script step \"" + step + "\"");
        }
        if (steps.peek() == EOF && open && step != "CLOSE" && step != "RESET") {
            // Silence: keep the connection until the client leaves, recording what it sends.
            while (!stop_) {
                pollfd waiting{fd, POLLIN, 0};
                if (poll(&waiting, 1, Slice) <= 0)
                    continue;
                char chunk[4096];
                const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
                if (n <= 0)
                    break;
                record(index, chunk, static_cast<size_t>(n));
            }
        }
    }
    close(fd);
}

} // namespace veltrane::test
