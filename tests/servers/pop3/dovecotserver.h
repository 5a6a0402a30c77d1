#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>
#include <sys/types.h>
#include <vector>

namespace veltrane::test {

// A real Dovecot serving POP3 on free loopback ports, with its configuration, users (a passwd
// file) and maildirs in a temporary folder. Started by start(), stopped and removed by the
// destructor; nothing of it outlives the test. Works as root (mail owned by "nobody", logins as
// dovenull) and as an ordinary user (everything under the user's own uid).
class DovecotServer {
public:
    struct Options {
        // Also serve POP3 over TLS (a second port, TLS from the first byte) and offer STLS on the
        // plain one, with a certificate for localhost and 127.0.0.1 made by a throwaway authority.
        bool tls = false;
    };
    DovecotServer();
    explicit DovecotServer(Options options);
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // Users added before or after start() can log in.
    void addUser(const std::string& name, const std::string& password);
    bool start();
    const std::string& error() const { return error_; }

    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // The authority's certificate (PEM), for VELTRANE_CA_FILE.
    QString caFile() const;

    // Delivers a message to the end of the user's mailbox.
    void addMessage(const std::string& user, const std::string& bytes);
    // The messages now in the user's mailbox, in mailbox order.
    std::vector<std::string> messages(const std::string& user) const;
    // Takes the message at this place (counted from 0) out of the mailbox behind the server's back.
    void removeMessage(const std::string& user, size_t place);

    // Freezes and thaws every process of the server, for a server that stops answering.
    void pause();
    void resume();

    std::string log() const;

private:
    bool writeConfig();
    bool makeCertificates();
    void writeUsers();
    QString maildir(const std::string& user) const;
    std::vector<QString> messageFiles(const std::string& user) const;
    std::vector<pid_t> processes() const;
    void stop();

    Options options_;
    QTemporaryDir dir_;
    std::string error_;
    std::vector<std::pair<std::string, std::string>> users_;
    int port_ = 0;
    int tlsPort_ = 0;
    pid_t master_ = -1;
    bool paused_ = false;
    uid_t mailUid_ = 0;
    gid_t mailGid_ = 0;
    std::string loginUser_;
    std::string internalUser_;
    unsigned long delivered_ = 0;
};

// A port that was free on the loopback interface a moment ago.
int freeLoopbackPort();

} // namespace veltrane::test
