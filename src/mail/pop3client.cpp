#include "mail/pop3client.h"

#include <QEventLoop>
#include <QFile>
#include <QIODevice>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace veltrane {

namespace {

const char* const NotConnected = "You have to connect to the server first";
const char* const TimedOut = "Operation timed out";
const char* const Canceled = "Operation has been canceled";
const char* const Busy = "Another operation of the mail client is still running";
const char* const RemoteClosed = "The remote host closed the connection";

// Bytes taken from the stream ahead of the reader; beyond this the socket's own (bounded)
// buffer and then TCP hold the server back.
constexpr size_t PullLimit = 1024 * 1024;
constexpr qint64 SocketReadBuffer = 256 * 1024;

bool hasLineBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::string number(long long n) {
    return std::to_string(n);
}

} // namespace

// Marks the client busy for the life of one operation, which starts uncanceled.
class Pop3Client::Operation {
public:
    explicit Operation(Pop3Client& client) : client_(client), refused_(client.busy_) {
        if (!refused_) {
            client_.busy_ = true;
            client_.canceled_ = false;
        }
    }
    ~Operation() {
        if (!refused_)
            client_.busy_ = false;
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    bool refused() const { return refused_; }

private:
    Pop3Client& client_;
    bool refused_;
};

Pop3Client::Pop3Client(QObject* parent) : QObject(parent) {}

Pop3Client::~Pop3Client() {
    if (stream_) {
        stream_->disconnect(this);
        if (socket_)
            socket_->abort();
        else
            stream_->close();
    }
}

// ---- operations ----

Status Pop3Client::ListHeaders() {
    Operation operation(*this);
    if (operation.refused())
        return Status::failure(Busy);
    if (!Connected())
        if (Status opened = openSession(true); !opened.ok())
            return opened;
    emit OnUpdatingInfo();
    items_.clear();
    uniqueIds_.clear();
    if (Status listed = listMessages(); !listed.ok())
        return listed;
    if (!settings_.keepSessionOpen)
        if (Status ended = quit(); !ended.ok())
            return ended;
    emit OnInfoUpdated();
    return Status::success();
}

void Pop3Client::FlagForDeletion(int index) {
    if (index >= 0 && index < InfoCount())
        items_[static_cast<size_t>(index)].remove = true;
}

void Pop3Client::FlagForRetrieval(int index) {
    if (index >= 0 && index < InfoCount())
        items_[static_cast<size_t>(index)].retrieve = true;
}

void Pop3Client::ClearFlags(int index) {
    if (index >= 0 && index < InfoCount()) {
        items_[static_cast<size_t>(index)].retrieve = false;
        items_[static_cast<size_t>(index)].remove = false;
    }
}

Status Pop3Client::ApplyFlags() {
    Operation operation(*this);
    if (operation.refused())
        return Status::failure(Busy);
    if (items_.empty())
        return Status::success();

    auto run = [this]() -> Status {
        if (!Connected())
            if (Status opened = openSession(false); !opened.ok())
                return opened;
        emit OnTransferringData();
        for (size_t i = 0; i < items_.size(); ++i) {
            const int index = static_cast<int>(i);
            if (items_[i].retrieve)
                if (Status got = retrieve(index); !got.ok())
                    return got;
            if (items_[i].remove) {
                if (Status same = rereadAndCompare(index); !same.ok())
                    return same;
                emit OnDeleting(index);
                // The reply to DELE is read but not judged: a message the server will not delete
                // does not stop the others.
                std::string reply;
                if (Status sent = send("DELE " + number(index + 1) + "\r\n"); !sent.ok())
                    return sent;
                if (Status read = readReply(reply); !read.ok())
                    return read;
            }
        }
        emit OnDataTransfered();
        return quit();
    };
    Status result = run();
    // A run that stopped must not leave its DELE commands in a session that a later QUIT would
    // carry out; dropping the connection makes the server forget them.
    if (!result.ok() && stream_)
        closeStream(false);
    return result;
}

void Pop3Client::Cancel() {
    canceled_ = true;
    emit OnCancel();
    closeStream(true);
    if (waitLoop_)
        waitLoop_->quit();
}

Status Pop3Client::Disconnect() {
    Operation operation(*this);
    if (operation.refused())
        return Status::failure(Busy);
    if (!Connected()) {
        if (stream_)
            closeStream(false);
        return Status::success();
    }
    return quit();
}

bool Pop3Client::Connected() const {
    return loggedIn_ && streamOpen();
}

bool Pop3Client::encrypted() const {
    const auto* tls = qobject_cast<const QSslSocket*>(socket_.data());
    return stream_ && tls && tls->isEncrypted();
}

// ---- session ----

Status Pop3Client::openSession(bool forListing) {
    if (stream_)
        closeStream(false); // a connection without a usable session
    loggedIn_ = false;
    capabilities_ = {};

    if (settings_.userName.empty())
        return socketFailure("UserName property is required");
    if (settings_.password.empty())
        return socketFailure("Password property is required");
    // A line break would let the field smuggle in a command of its own.
    if (hasLineBreak(settings_.userName))
        return socketFailure("UserName property must not contain line breaks");
    if (hasLineBreak(settings_.password))
        return socketFailure("Password property must not contain line breaks");

    if (DialUpLink* link = settings_.dialUp; link && link->hasEntry() && !link->active()) {
        if (Status dialed = link->dial(); !dialed.ok())
            return dialed;
        dialedHere_ = true;
    }
    emit OnOpen();
    if (settings_.server.empty())
        return socketFailure("Server property is required");
    const ServerAddress address = ParseServer(settings_.server, settings_.defaultPort);
    const std::optional<KnownServer> known =
        settings_.memory ? settings_.memory->recall(address) : std::optional<KnownServer>();
    std::optional<Capabilities> offered;
    bool sentEarly = false;
    const Status opened = greetAndLogIn(address, forListing, known, offered, sentEarly);
    if (ServerMemory* memory = settings_.memory) {
        if (offered)
            memory->remember(address, {*offered, known && known->greetingFirst});
        else if (sentEarly)
            memory->remember(address, {known->offered, true}); // unanswered: maybe it wants its greeting heard
    }
    return opened;
}

// offered: what the server's CAPA offered (stls on the plain connection; pipelining and uidl
// at last), once its reply has been read. sentEarly: commands went out before the greeting.
Status Pop3Client::greetAndLogIn(const ServerAddress& address, bool forListing, const std::optional<KnownServer>& known,
                                 std::optional<Capabilities>& offered, bool& sentEarly) {
    const bool pipelines = known && known->offered.pipelining;
    const bool upgrading = address.tls == TlsMode::UpgradeIfOffered && known && known->offered.stls;
    const std::string user = "USER " + settings_.userName + "\r\n";
    const std::string pass = "PASS " + settings_.password + "\r\n";
    const std::string stat = "STAT\r\n";
    bool loginSent = false;
    // The login of a pipelining server in one write, with the unique ids a listing will want.
    auto sendLogin = [&](const Capabilities& offer, const char* first) {
        uidlInFlight_ = forListing && offer.uidl;
        loginSent = true;
        return send(first + user + pass + stat + (uidlInFlight_ ? "UIDL\r\n" : ""));
    };

    if (Status connected = connectStream(address); !connected.ok())
        return connected;
    // A server that pipelined last time reads commands in order as they come, so CAPA and the login
    // can go before its greeting; one that offers STLS first gets them only once TLS is up.
    if (pipelines && !upgrading && !known->greetingFirst) {
        sentEarly = true;
        if (Status sent = sendLogin(known->offered, "CAPA\r\n"); !sent.ok())
            return sent;
    }

    // A refusal while logging in leaves no session to go on with; the next operation starts afresh.
    auto refused = [this](const std::string& reply) {
        closeStream(false);
        return refusal(reply);
    };
    std::string reply;
    // One command's reply; the command goes out first unless a batch took it along.
    auto exchange = [&](const std::string& line, bool sent) {
        if (!sent)
            if (Status written = send(line); !written.ok())
                return written;
        if (Status read = readReply(reply); !read.ok())
            return read;
        return IsPositive(reply) ? Status::success() : refused(reply);
    };
    if (Status greeted = exchange({}, true); !greeted.ok())
        return greeted;
    if (pipelines && !upgrading && !loginSent)
        if (Status sent = sendLogin(known->offered, "CAPA\r\n"); !sent.ok())
            return sent;
    if (Status caps = readCapabilities(loginSent); !caps.ok())
        return caps;
    const bool stlsOffered = capabilities_.stls;
    // With the login already on its way the session stays as it is; the memory learns of the
    // STLS and the next session upgrades before logging in.
    if (!loginSent && capabilities_.stls && address.tls == TlsMode::UpgradeIfOffered && socket_ && !encrypted()) {
        if (Status upgraded = exchange("STLS\r\n", false); !upgraded.ok())
            return upgraded;
        if (Status secured = startTls(address.host); !secured.ok())
            return secured;
        if (pipelines)
            if (Status sent = sendLogin(known->offered, "CAPA\r\n"); !sent.ok())
                return sent;
        // What the server said before the handshake may have been tampered with.
        if (Status caps = readCapabilities(loginSent); !caps.ok())
            return caps;
    }
    offered = capabilities_;
    offered->stls = stlsOffered;

    if (!loginSent && capabilities_.pipelining)
        if (Status sent = sendLogin(capabilities_, ""); !sent.ok())
            return sent;
    for (const std::string* line : {&user, &pass, &stat})
        if (Status answered = exchange(*line, loginSent); !answered.ok())
            return answered;
    const std::optional<int> count = StatCount(reply);
    if (!count)
        return socketFailure("Invalid reply to STAT: " + reply);
    messageCount_ = *count;
    loggedIn_ = true;
    return Status::success();
}

Status Pop3Client::connectStream(const ServerAddress& address) {
    streamError_.clear();
    tlsErrors_.clear();
    input_.clear();
    if (socket_)
        socket_->deleteLater();
    socket_ = nullptr;

    if (streamFactory_) {
        stream_ = streamFactory_();
        if (!stream_ || !stream_->isOpen()) {
            stream_ = nullptr;
            return socketFailure("Connection refused");
        }
        streamConnected_ = true;
        streamEnded_ = false;
        connect(stream_, &QIODevice::readyRead, this, [this] { pullBytes(); });
        connect(stream_, &QIODevice::readChannelFinished, this, [this] { streamEnded_ = true; });
        return Status::success();
    }

    streamConnected_ = false;
    const QString host16 = QString::fromStdString(address.host);
    const auto port = static_cast<quint16>(address.port);
    if (address.tls == TlsMode::Immediate) {
        std::string error;
        QSslSocket* socket = newTlsSocket(address.host, error);
        if (!socket)
            return socketFailure(error);
        adoptSocket(socket);
        socket->connectToHostEncrypted(host16, port, host16);
        return waitFor([socket] { return socket->isEncrypted(); }, replyDeadline());
    }
    // A plain connection starts as a plain socket: loading the TLS library costs milliseconds
    // that only a session which upgrades needs to spend.
    auto* socket = new QTcpSocket(this);
    adoptSocket(socket);
    socket->connectToHost(host16, port);
    return waitFor([socket] { return socket->state() == QAbstractSocket::ConnectedState; }, replyDeadline());
}

QSslSocket* Pop3Client::newTlsSocket(const std::string& host, std::string& error) {
    if (!QSslSocket::supportsSsl()) {
        error = "TLS is not available on this system";
        return nullptr;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (const QString caFile = qEnvironmentVariable("VELTRANE_CA_FILE"); !caFile.isEmpty()) {
        QFile file(caFile);
        const QList<QSslCertificate> extra = file.open(QIODevice::ReadOnly)
                                                 ? QSslCertificate::fromData(file.readAll(), QSsl::Pem)
                                                 : QList<QSslCertificate>();
        if (extra.isEmpty()) {
            error = "Cannot read the certificate authorities in " + caFile.toStdString();
            return nullptr;
        }
        tls.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    }
    auto* socket = new QSslSocket(this);
    socket->setSslConfiguration(tls);
    socket->setPeerVerifyName(QString::fromStdString(host));
    connect(socket, &QSslSocket::sslErrors, this, [this, host](const QList<QSslError>& errors) {
        std::string text;
        for (const QSslError& e : errors)
            text += (text.empty() ? "" : "; ") + e.errorString().toStdString();
        tlsErrors_ = "The certificate of " + host + " could not be verified: " + text;
    });
    return socket;
}

void Pop3Client::adoptSocket(QTcpSocket* socket) {
    socket->setReadBufferSize(SocketReadBuffer);
    socket_ = socket;
    stream_ = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this] { pullBytes(); });
    connect(socket, &QAbstractSocket::connected, this, [this, socket] {
        streamConnected_ = true;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (!streamError_.empty())
            return;
        if (error == QAbstractSocket::HostNotFoundError)
            streamError_ = "Error resolving remote host";
        else if (error == QAbstractSocket::SslHandshakeFailedError && !tlsErrors_.empty())
            streamError_ = tlsErrors_;
        else if (error == QAbstractSocket::SslHandshakeFailedError)
            streamError_ = "TLS handshake failed: " + socket->errorString().toStdString();
        else if (const QString text = socket->errorString(); !text.isEmpty())
            streamError_ = text.toStdString();
        else
            streamError_ = "Error #" + number(static_cast<int>(error));
    });
}

Status Pop3Client::startTls(const std::string& host) {
    if (!socket_)
        return Status::success(); // a stream given by the factory stays as it is
    // Whatever arrived after the +OK came before the handshake and is not to be trusted.
    input_.clear();
    socket_->readAll();

    // The connection moves to a TLS socket: a duplicate of its descriptor keeps it open while the
    // plain socket lets go (closing one descriptor of two sends nothing to the server).
    std::string error;
    QSslSocket* tls = newTlsSocket(host, error);
    if (!tls)
        return socketFailure(error);
    const int descriptor = ::dup(static_cast<int>(socket_->socketDescriptor()));
    if (descriptor < 0) {
        delete tls;
        return socketFailure("Cannot start TLS: " + std::string(std::strerror(errno)));
    }
    QTcpSocket* plain = socket_;
    plain->disconnect(this);
    plain->abort();
    plain->deleteLater();
    adoptSocket(tls);
    if (!tls->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite)) {
        ::close(descriptor);
        return socketFailure("Cannot start TLS: " + tls->errorString().toStdString());
    }
    tls->startClientEncryption();
    return waitFor([tls] { return tls->isEncrypted(); }, replyDeadline());
}

Status Pop3Client::readCapabilities(bool sent) {
    capabilities_ = {};
    std::string reply;
    if (Status read = sent ? readReply(reply) : command("CAPA", reply); !read.ok())
        return read;
    // A server that does not know CAPA offers nothing beyond the basic protocol.
    if (!IsPositive(reply))
        return Status::success();
    std::vector<std::string> lines;
    if (Status read = readDataLines(lines, pop3limits::CapabilityLines); !read.ok())
        return read;
    capabilities_ = ParseCapabilities(lines);
    return Status::success();
}

Status Pop3Client::listMessages() {
    const int count = messageCount_;
    const bool pipelined = capabilities_.pipelining && settings_.pipelineWindow > 1;
    const int window = pipelined ? settings_.pipelineWindow : 1;
    // Without a kept session the QUIT can follow the last pair at once.
    const bool quitEarly = pipelined && !settings_.keepSessionOpen;
    int sent = 0;                        // LIST/TOP pairs sent
    int pending = uidlInFlight_ ? 1 : 0; // replies sent for and not yet read

    auto nextPairs = [&](int upTo) {
        std::string batch;
        for (; sent < count && sent < upTo; ++sent, pending += 2)
            batch += "LIST " + number(sent + 1) + "\r\nTOP " + number(sent + 1) + " 1\r\n";
        if (quitEarly && sent == count && count > 0 && !quitInFlight_ && !batch.empty()) {
            batch += "QUIT\r\n";
            quitInFlight_ = true;
            ++pending;
        }
        return batch;
    };
    // A refusal with replies still on their way leaves the session out of step; drop it.
    auto refused = [&](const std::string& reply) {
        if (pending > 0)
            closeStream(false);
        return refusal(reply);
    };

    std::string reply;
    if (uidlInFlight_ || (capabilities_.uidl && count > 0)) {
        std::string batch = uidlInFlight_ ? "" : "UIDL\r\n";
        pending += uidlInFlight_ ? 0 : 1;
        uidlInFlight_ = false;
        if (pipelined)
            batch += nextPairs(window);
        if (!batch.empty())
            if (Status written = send(batch); !written.ok())
                return written;
        if (Status read = readReply(reply); !read.ok())
            return read;
        --pending;
        // The unique ids only add safety to a later deletion; a server that will not give them
        // still gets listed.
        if (IsPositive(reply)) {
            std::vector<std::string> lines;
            if (Status data = readDataLines(lines, static_cast<size_t>(count)); !data.ok())
                return data;
            for (const std::string& line : lines)
                if (auto entry = ParseUniqueId(line); entry && entry->number <= count)
                    uniqueIds_[entry->number] = std::move(entry->id);
        }
    }

    // One reply of a pair: without pipelining its command goes out first, on its own.
    auto step = [&](const std::string& commandLine) -> Status {
        if (!pipelined) {
            if (Status written = send(commandLine + "\r\n"); !written.ok())
                return written;
            ++pending;
        }
        if (Status read = readReply(reply); !read.ok())
            return read;
        --pending;
        if (!IsPositive(reply))
            return refused(reply);
        return Status::success();
    };

    for (int n = 1; n <= count; ++n) {
        if (pipelined) {
            const std::string batch = nextPairs(n - 1 + window);
            if (!batch.empty())
                if (Status written = send(batch); !written.ok())
                    return written;
        }
        if (Status listed = step("LIST " + number(n)); !listed.ok())
            return listed;
        MessageInfo item;
        item.size = ListSize(reply);
        if (Status topped = step("TOP " + number(n) + " 1"); !topped.ok())
            return topped;
        if (Status data = readHeaderData(item.headerLines); !data.ok())
            return data;
        items_.push_back(std::move(item));
        emit OnNextInfoUpdated(n - 1);
    }
    return Status::success();
}

Status Pop3Client::rereadAndCompare(int index) {
    const std::string n = number(index + 1);
    std::string reply;
    if (Status answered = ask("LIST " + n, reply); !answered.ok())
        return answered;
    if (Status answered = ask("TOP " + n + " 1", reply); !answered.ok())
        return answered;
    HeaderLines header;
    if (Status data = readHeaderData(header); !data.ok())
        return data;
    bool same = HeadersMatch(items_[static_cast<size_t>(index)].headerLines, header);
    const auto listed = uniqueIds_.find(index + 1);
    if (same && capabilities_.uidl && listed != uniqueIds_.end()) {
        if (Status answered = ask("UIDL " + n, reply); !answered.ok())
            return answered;
        const std::optional<UniqueIdEntry> now = ParseUniqueId(reply.size() > 4 ? reply.substr(4) : std::string());
        same = now && now->number == index + 1 && now->id == listed->second;
    }
    if (!same)
        return socketFailure("IDs are different");
    return Status::success();
}

Status Pop3Client::retrieve(int index) {
    if (Status same = rereadAndCompare(index); !same.ok())
        return same;
    const std::string n = number(index + 1);
    std::string reply;
    if (Status answered = ask("LIST " + n, reply); !answered.ok())
        return answered;
    emit OnRetrieving(index);
    if (Status answered = ask("RETR " + n, reply); !answered.ok())
        return answered;
    std::string data;
    if (Status read = readMessageData(data); !read.ok())
        return read;
    emit OnUserMessageSave(index, data);
    emit OnRetrieved(index);
    return Status::success();
}

Status Pop3Client::quit() {
    std::string reply;
    if (!quitInFlight_)
        if (Status sent = send("QUIT\r\n"); !sent.ok())
            return sent;
    quitInFlight_ = false;
    if (Status read = readReply(reply); !read.ok())
        return read;
    closeStream(true);
    if (!IsPositive(reply))
        return refusal(reply);
    return Status::success();
}

// ---- reading and writing ----

Status Pop3Client::send(const std::string& commands) {
    if (!stream_)
        return socketFailure(NotConnected);
    const auto size = static_cast<qint64>(commands.size());
    if (stream_->write(commands.data(), size) != size)
        return socketFailure(streamError_.empty() ? std::string(RemoteClosed) : streamError_);
    if (socket_)
        socket_->flush();
    return Status::success();
}

Status Pop3Client::command(const std::string& line, std::string& reply) {
    if (Status sent = send(line + "\r\n"); !sent.ok())
        return sent;
    return readReply(reply);
}

Status Pop3Client::ask(const std::string& line, std::string& reply) {
    if (Status answered = command(line, reply); !answered.ok())
        return answered;
    return IsPositive(reply) ? Status::success() : refusal(reply);
}

Status Pop3Client::readReply(std::string& reply) {
    LineBuffer::Line line;
    if (Status read = readLine(line, pop3limits::ReplyLine, replyDeadline(), false); !read.ok())
        return read;
    reply = std::string(StripLineEnd(line.bytes));
    return Status::success();
}

Status Pop3Client::readLine(LineBuffer::Line& line, size_t cap, QDeadlineTimer deadline, bool extendOnData) {
    std::optional<LineBuffer::Line> taken;
    auto ready = [&] {
        taken = input_.takeLine(cap);
        return taken.has_value();
    };
    if (!ready()) {
        if (!stream_)
            return socketFailure(NotConnected);
        if (Status waited = waitFor(ready, deadline, extendOnData); !waited.ok())
            return waited;
    }
    line = std::move(*taken);
    return Status::success();
}

Status Pop3Client::readDataLines(std::vector<std::string>& lines, size_t keep) {
    const QDeadlineTimer deadline = replyDeadline();
    for (;;) {
        LineBuffer::Line line;
        if (Status read = readLine(line, pop3limits::DataLine, deadline, false); !read.ok())
            return read;
        const std::string_view text = StripLineEnd(line.bytes);
        if (!line.cut && text == ".")
            return Status::success();
        if (lines.size() < keep)
            lines.emplace_back(text);
    }
}

Status Pop3Client::readHeaderData(HeaderLines& header) {
    const QDeadlineTimer deadline = replyDeadline();
    bool inHeader = true;
    size_t kept = 0;
    for (;;) {
        LineBuffer::Line line;
        if (Status read = readLine(line, pop3limits::DataLine, deadline, false); !read.ok())
            return read;
        const std::string_view text = StripLineEnd(line.bytes);
        if (inHeader) {
            if (text.empty()) {
                inHeader = false;
            } else if (kept + text.size() <= pop3limits::HeaderBytes) {
                // With no empty line in the data every line is kept, the terminating "." as well.
                header.emplace_back(text);
                kept += text.size();
            }
        }
        if (!line.cut && text == ".")
            return Status::success();
    }
}

Status Pop3Client::readMessageData(std::string& data) {
    LineBuffer::DataScan scan;
    bool done = false;
    bool tooLarge = false;
    auto ready = [&] {
        done = input_.takeData(data, scan);
        tooLarge = data.size() > pop3limits::MessageBytes;
        return done || tooLarge;
    };
    if (!ready()) {
        if (!stream_)
            return socketFailure(NotConnected);
        if (Status waited = waitFor(ready, replyDeadline(), true); !waited.ok())
            return waited;
    }
    if (tooLarge) {
        data.clear();
        return socketFailure("The message is larger than " + number(pop3limits::MessageBytes / (1024 * 1024)) +
                             " MB and was not downloaded");
    }
    return Status::success();
}

Status Pop3Client::waitFor(const std::function<bool()>& ready, QDeadlineTimer deadline, bool extendOnData) {
    unsigned long long lastSeen = bytesReceived_;
    for (;;) {
        if (canceled_)
            return socketFailure(Canceled);
        pullBytes();
        const unsigned long long arrived = bytesReceived_;
        if (ready())
            return Status::success();
        // A download that keeps coming gets a fresh limit for its next block.
        if (extendOnData && arrived != lastSeen)
            deadline = replyDeadline();
        lastSeen = arrived;
        if (!streamOpen())
            return socketFailure(stream_ && !streamError_.empty() ? streamError_
                                                                  : std::string(stream_ ? RemoteClosed : NotConnected));
        if (deadline.hasExpired())
            return socketFailure(TimedOut);

        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (const qint64 left = deadline.remainingTime(); left >= 0)
            timer.start(static_cast<int>(std::min<qint64>(left, 24LL * 3600 * 1000)));
        QIODevice* stream = stream_;
        connect(stream, &QIODevice::readyRead, &loop, &QEventLoop::quit);
        connect(stream, &QIODevice::readChannelFinished, &loop, &QEventLoop::quit);
        connect(stream, &QIODevice::aboutToClose, &loop, &QEventLoop::quit);
        if (socket_) {
            connect(socket_, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
            connect(socket_, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
            if (auto* tls = qobject_cast<QSslSocket*>(socket_.data()))
                connect(tls, &QSslSocket::encrypted, &loop, &QEventLoop::quit);
        }
        QEventLoop* outer = waitLoop_;
        waitLoop_ = &loop;
        loop.exec();
        waitLoop_ = outer;
    }
}

bool Pop3Client::pullBytes() {
    if (!stream_)
        return false;
    bool any = false;
    while (input_.pending() < PullLimit && stream_->bytesAvailable() > 0) {
        const QByteArray chunk = stream_->read(64 * 1024);
        if (chunk.isEmpty())
            break;
        input_.append(chunk);
        bytesReceived_ += static_cast<unsigned long long>(chunk.size());
        any = true;
    }
    return any;
}

bool Pop3Client::streamOpen() const {
    if (!stream_)
        return false;
    if (socket_)
        return socket_->state() != QAbstractSocket::UnconnectedState &&
               socket_->state() != QAbstractSocket::ClosingState;
    return stream_->isOpen() && !streamEnded_;
}

QDeadlineTimer Pop3Client::replyDeadline() const {
    return QDeadlineTimer(settings_.timeOut);
}

// ---- failures and closing ----

Status Pop3Client::refusal(std::string_view reply) {
    return Status::failure(std::string(reply));
}

Status Pop3Client::socketFailure(std::string text) {
    closeStream(true); // also hangs up a dial-up connection made for this session
    emit OnError(text);
    return Status::failure(std::move(text));
}

void Pop3Client::closeStream(bool announce) {
    if (stream_) {
        QIODevice* stream = stream_;
        const bool wasConnected = streamConnected_;
        stream_ = nullptr;
        streamConnected_ = false;
        loggedIn_ = false;
        uidlInFlight_ = false;
        quitInFlight_ = false;
        input_.clear();
        if (announce && wasConnected)
            emit OnClosing();
        stream->disconnect(this);
        if (socket_)
            socket_->abort();
        else
            stream->close();
        if (announce && wasConnected)
            emit OnClosed();
    }
    if (dialedHere_) {
        dialedHere_ = false;
        if (settings_.dialUp)
            settings_.dialUp->hangUp();
    }
}

} // namespace veltrane
