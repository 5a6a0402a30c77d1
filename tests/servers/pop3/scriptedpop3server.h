#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veltrane::test {

// A POP3 server that plays a script, for the faults a real server will not produce. It listens on
// a free loopback port and serves its connections one after another, each with its own script:
//
//   S: text      sends text and CR LF
//   R: bytes     sends bytes as written, with \r \n \t \\ and \xHH escapes and nothing appended
//   C: text      expects this line from the client ("C: *" takes any line)
//   W: ms        pauses
//   CLOSE        closes the connection
//   RESET        drops the connection with a TCP reset
//
// A script that ends without CLOSE or RESET keeps its connection open and silent until the
// client goes. A connection beyond the scripts is closed at once.
class ScriptedPop3Server {
public:
    explicit ScriptedPop3Server(std::vector<std::string> scripts);
    ~ScriptedPop3Server();
    ScriptedPop3Server(const ScriptedPop3Server&) = delete;
    ScriptedPop3Server& operator=(const ScriptedPop3Server&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:port", ready for a mailbox's server field.
    std::string address() const;

    // Everything the client sent on connection i (counted from 0) so far.
    std::string received(size_t connection) const;
    size_t connections() const;
    // Lines the client sent that the script did not expect, and other departures from the script.
    std::vector<std::string> problems() const;

private:
    void run();
    void serve(int fd, const std::string& script, size_t index);
    bool readLine(int fd, std::string& buffer, std::string& line, size_t index);
    bool sendAll(int fd, const std::string& bytes);
    void note(std::string problem);
    void record(size_t index, const char* data, size_t size);

    std::vector<std::string> scripts_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::vector<std::string> problems_;
    std::thread thread_;
};

// Turns \r, \n, \t, \\ and \xHH into the bytes they stand for.
std::string unescapeBytes(const std::string& text);

} // namespace veltrane::test
