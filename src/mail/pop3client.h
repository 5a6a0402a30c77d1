#pragma once

#include "base/status.h"
#include "mail/dialup.h"
#include "mail/pop3reply.h"
#include "mail/serveraddress.h"
#include "mail/servermemory.h"
#include "message/messageentry.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class QEventLoop;
class QIODevice;
class QSslSocket;
class QTcpSocket;

namespace veltrane {

struct Pop3Settings {
    // "host", "host:port", "pop3://host[:port]" (never TLS) or "pop3s://host[:port]" (TLS from the start).
    std::string server;
    std::string userName;
    std::string password;
    int defaultPort = 110;
    // The limit of every single wait: connecting, each reply, each block of a downloaded message.
    std::chrono::milliseconds timeOut = std::chrono::seconds(120);
    // Leave the session open after a listing, for the next operation to use.
    bool keepSessionOpen = false;
    // Where the owner stores downloaded messages; ends with "/".
    QString messageDirectory;
    // The dial-up link to bring up before connecting; none when null.
    DialUpLink* dialUp = nullptr;
    // LIST/TOP pairs sent ahead when the server offers PIPELINING (about 20 KB of commands at
    // most; the replies are held back by TCP, not by this window). 1: one command at a time.
    int pipelineWindow = 1000;
    // What the servers offered at their last sessions; none when null. A server known to pipeline
    // gets CAPA and the login in one write as soon as the connection (or its TLS) is up.
    ServerMemory* memory = nullptr;
};

// A POP3 client that waits for the network by running a local event loop, so the windows stay
// responsive and Cancel is served between two steps. One operation at a time; every operation
// returns its outcome, and failures at the socket level are also announced through OnError.
class Pop3Client : public QObject {
    Q_OBJECT
public:
    explicit Pop3Client(QObject* parent = nullptr);
    ~Pop3Client() override;

    Pop3Settings& settings() { return settings_; }
    const Pop3Settings& settings() const { return settings_; }
    void setSettings(const Pop3Settings& settings) { settings_ = settings; }

    // Opens a session when none is open, lists the size and header lines of every message and,
    // unless keepSessionOpen is set, ends the session with QUIT.
    Status ListHeaders();
    // Flags of item i (message i + 1); out-of-range indexes are ignored.
    void FlagForDeletion(int index);
    void FlagForRetrieval(int index);
    void ClearFlags(int index);
    // Downloads and deletes the flagged messages in one session, after making sure each message
    // number still names the listed message; ends with QUIT.
    Status ApplyFlags();
    // Stops what runs: the waiting operation fails with "Operation has been canceled". The socket
    // is closed without QUIT.
    void Cancel();
    // Ends an open session with QUIT.
    Status Disconnect();
    bool Connected() const;
    // The count from the STAT reply of the session.
    int MessageCount() const { return messageCount_; }

    int InfoCount() const { return static_cast<int>(items_.size()); }
    const MessageInfo& Info(int index) const { return items_.at(static_cast<size_t>(index)); }
    const std::vector<MessageInfo>& Infos() const { return items_; }

    // Whether an operation is running (another one is then refused).
    bool busy() const { return busy_; }
    // What the server of the open session offered, and whether the session is encrypted.
    const Capabilities& capabilities() const { return capabilities_; }
    bool encrypted() const;

    // Opening a session takes its byte stream from here instead of connecting a socket; the
    // device must be open, and its owner keeps it. Lets tests feed the protocol by hand.
    using StreamFactory = std::function<QIODevice*()>;
    void setStreamFactory(StreamFactory factory) { streamFactory_ = std::move(factory); }

signals:
    void OnOpen();
    void OnUpdatingInfo();
    void OnNextInfoUpdated(int index);
    void OnInfoUpdated();
    void OnClosing();
    void OnClosed();
    void OnCancel();
    // The handler may change the text; it becomes the failure's text. Connect directly.
    void OnError(std::string& text);
    void OnTransferringData();
    void OnDataTransfered();
    void OnRetrieving(int index);
    void OnRetrieved(int index);
    void OnUserMessageSave(int index, const std::string& data);
    void OnDeleting(int index);

private:
    class Operation;

    // forListing: a pipelining server also gets the UIDL of the coming listing with the login.
    Status openSession(bool forListing);
    Status greetAndLogIn(const ServerAddress& address, bool forListing, const std::optional<KnownServer>& known,
                         std::optional<Capabilities>& offered, bool& sentEarly);
    Status connectStream(const ServerAddress& address);
    // A TLS socket set up to verify host; null, with the reason in error, when TLS cannot be had.
    QSslSocket* newTlsSocket(const std::string& host, std::string& error);
    void adoptSocket(QTcpSocket* socket);
    Status startTls(const std::string& host);
    // sent: CAPA went out already, with the login behind it.
    Status readCapabilities(bool sent);
    Status listMessages();
    Status rereadAndCompare(int index);
    Status retrieve(int index);
    Status quit();

    Status send(const std::string& commands);
    Status readReply(std::string& reply);
    Status command(const std::string& line, std::string& reply);
    // command(), with the server's -ERR line as the failure.
    Status ask(const std::string& line, std::string& reply);
    Status readHeaderData(HeaderLines& header);
    Status readDataLines(std::vector<std::string>& lines, size_t keep);
    Status readMessageData(std::string& data);
    Status readLine(LineBuffer::Line& line, size_t cap, QDeadlineTimer deadline, bool extendOnData);

    // Runs the local event loop until ready() holds, the deadline passes, the stream fails or
    // the operation is canceled. ready() is asked again after every event of the stream.
    Status waitFor(const std::function<bool()>& ready, QDeadlineTimer deadline, bool extendOnData = false);
    bool pullBytes();
    bool streamOpen() const;
    QDeadlineTimer replyDeadline() const;

    Status refusal(std::string_view reply);
    Status socketFailure(std::string text);
    void closeStream(bool announce);

    Pop3Settings settings_;
    StreamFactory streamFactory_;
    QIODevice* stream_ = nullptr;  // the open stream, a socket of ours or the factory's device
    QPointer<QTcpSocket> socket_;  // when the stream is our socket (a QSslSocket once TLS is asked for)
    bool streamConnected_ = false; // the connection was made (closing it is announced)
    bool streamEnded_ = false;     // the factory's stream reported the end of its data
    std::string streamError_;      // the socket's first error text
    std::string tlsErrors_;        // certificate problems of the last handshake
    LineBuffer input_;
    unsigned long long bytesReceived_ = 0;
    bool loggedIn_ = false;
    bool uidlInFlight_ = false; // sent with the login; its reply comes after STAT's
    bool quitInFlight_ = false; // sent after the last pair of a listing
    bool dialedHere_ = false;
    Capabilities capabilities_;
    int messageCount_ = 0;

    std::vector<MessageInfo> items_;
    // Unique ids of the listing, by message number, when the server offers UIDL.
    std::unordered_map<long long, std::string> uniqueIds_;

    bool busy_ = false;
    bool canceled_ = false;
    QEventLoop* waitLoop_ = nullptr;
};

} // namespace veltrane
