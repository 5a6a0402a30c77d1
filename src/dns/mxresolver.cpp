#include "dns/mxresolver.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <ares.h>
#include <arpa/inet.h>
#include <map>
#include <memory>
#include <mutex>

namespace veltrane {

namespace {

constexpr int TypeMx = 15;
constexpr int ClassIn = 1;
constexpr size_t HeaderSize = 12;
// How long c-ares waits for the first try before it asks again (each later try waits twice as
// long); the lookup's own limit ends it in any case.
constexpr int FirstTryMs = 5000;
constexpr int Tries = 4;

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

// "host:port" in the comma-separated form c-ares takes, or an error text.
bool serverForCares(const QString& server, std::string& csv, std::string& error) {
    QString host = server.trimmed();
    QString port = "53";
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf(']');
        if (close < 0) {
            error = "The DNS server \"" + server.toStdString() + "\" lacks its closing bracket";
            return false;
        }
        if (close + 1 < host.size()) {
            if (host.at(close + 1) != ':') {
                error = "The DNS server \"" + server.toStdString() + "\" is not host:port";
                return false;
            }
            port = host.mid(close + 2);
        }
        host = host.mid(1, close - 1);
    } else if (host.count(':') == 1) {
        port = host.section(':', 1);
        host = host.section(':', 0, 0);
    }
    bool portOk = false;
    const uint portNumber = port.toUInt(&portOk);
    const std::string hostBytes = host.toStdString();
    unsigned char binary[16];
    const bool v4 = inet_pton(AF_INET, hostBytes.c_str(), binary) == 1;
    const bool v6 = !v4 && inet_pton(AF_INET6, hostBytes.c_str(), binary) == 1;
    if (!(v4 || v6) || !portOk || portNumber == 0 || portNumber > 65535) {
        error = "The DNS server \"" + server.toStdString() + "\" is not an IP address with an optional port";
        return false;
    }
    const QString hostText = v6 ? "[" + host + "]" : host;
    csv = (hostText + ":" + QString::number(portNumber)).toStdString();
    return true;
}

// One query on a channel of its own, waited for in a local event loop. The channel is not shared
// so that a lookup started while another waits (from a window, say) cannot disturb it.
class Lookup {
public:
    Lookup(const QString& server, std::chrono::milliseconds limit) : limit_(limit) {
        initLibrary();
        ares_options options{};
        options.flags = ARES_FLAG_NOCHECKRESP | ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES;
        options.timeout = static_cast<int>(std::min<long long>(FirstTryMs, std::max<long long>(1, limit.count())));
        options.tries = Tries;
        options.sock_state_cb = &Lookup::socketState;
        options.sock_state_cb_data = this;
        const int mask = ARES_OPT_FLAGS | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_SOCK_STATE_CB;
        int status = ares_init_options(&channel_, &options, mask);
        if (status != ARES_SUCCESS) {
            channel_ = nullptr;
            setupError_ = std::string("The resolver could not be set up: ") + ares_strerror(status);
            return;
        }
        if (!server.isEmpty()) {
            std::string csv;
            if (!serverForCares(server, csv, setupError_))
                return;
            status = ares_set_servers_ports_csv(channel_, csv.c_str());
            if (status != ARES_SUCCESS)
                setupError_ =
                    "The DNS server \"" + server.toStdString() + "\" cannot be used: " + ares_strerror(status);
        }
    }

    ~Lookup() {
        if (channel_)
            ares_destroy(channel_);
    }

    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    MxLookupResult run(const std::string& domain) {
        if (!setupError_.empty())
            return failure(setupError_);
        if (domain.find('\0') != std::string::npos)
            return failure("The domain name holds a zero byte");

        QEventLoop loop;
        loop_ = &loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, [this] {
            deadlinePassed_ = true;
            ares_cancel(channel_);
        });
        retryTimer_.setSingleShot(true);
        retryTimer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&retryTimer_, &QTimer::timeout, [this] {
            ares_process_fd(channel_, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
            scheduleRetry();
        });

        // c-ares gives every query a random identifier of its own and sets recursion desired.
        ares_query(channel_, domain.c_str(), ClassIn, TypeMx, &Lookup::answered, this);
        if (!done_) {
            deadline.start(limit_);
            scheduleRetry();
            loop.exec(QEventLoop::AllEvents);
            // The loop also ends when the application quits; the query then ends unanswered.
            if (!done_)
                ares_cancel(channel_);
        }
        loop_ = nullptr;
        retryTimer_.stop();
        return result_;
    }

private:
    static MxLookupResult failure(std::string text) {
        MxLookupResult result;
        result.error = std::move(text);
        return result;
    }

    void finish(MxLookupResult result) {
        result_ = std::move(result);
        done_ = true;
        if (loop_)
            loop_->quit();
    }

    void scheduleRetry() {
        if (done_)
            return;
        timeval wait{};
        if (ares_timeout(channel_, nullptr, &wait))
            retryTimer_.start(static_cast<int>(wait.tv_sec * 1000 + (wait.tv_usec + 999) / 1000));
        else
            retryTimer_.stop();
    }

    void process(ares_socket_t readable, ares_socket_t writable) {
        ares_process_fd(channel_, readable, writable);
        scheduleRetry();
    }

    static void socketState(void* data, ares_socket_t socket, int readable, int writable) {
        static_cast<Lookup*>(data)->watch(socket, readable != 0, writable != 0);
    }

    void watch(ares_socket_t socket, bool readable, bool writable) {
        Watch& watch = watches_[socket];
        auto update = [this, socket](std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type,
                                     bool wanted) {
            if (wanted && !notifier) {
                notifier = std::make_unique<QSocketNotifier>(socket, type);
                QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, socket, type] {
                    if (type == QSocketNotifier::Read)
                        process(socket, ARES_SOCKET_BAD);
                    else
                        process(ARES_SOCKET_BAD, socket);
                });
            } else if (!wanted && notifier) {
                // The notifier may be the one whose signal is running: keep it until the lookup ends.
                notifier->setEnabled(false);
                retired_.push_back(std::move(notifier));
            }
        };
        update(watch.read, QSocketNotifier::Read, readable);
        update(watch.write, QSocketNotifier::Write, writable);
        if (!watch.read && !watch.write)
            watches_.erase(socket);
    }

    static void answered(void* data, int status, int /*timeouts*/, unsigned char* answer, int length) {
        static_cast<Lookup*>(data)->answer(status, answer, length);
    }

    void answer(int status, const unsigned char* answer, int length) {
        if (done_)
            return;
        // c-ares judges the answer's code itself (no MX record, for one, is an error to it); only
        // the answer's own header counts here.
        if (!answer || length < static_cast<int>(HeaderSize)) {
            if (status == ARES_EBADNAME)
                return finish(failure(std::string("The domain name cannot be asked for: ") + ares_strerror(status)));
            if (deadlinePassed_)
                return finish(failure("No answer within " + std::to_string(limit_.count()) + " ms"));
            if (status == ARES_SUCCESS)
                return finish(failure("The answer is too short"));
            return finish(failure(ares_strerror(status)));
        }
        if ((answer[2] & 0x80) == 0)
            return finish(failure("This is not a response"));
        const int code = answer[3] & 0x0f;
        if (code != 0)
            return finish(failure(dnsErrorText(code)));

        MxLookupResult result;
        result.ok = true;
        ares_mx_reply* records = nullptr;
        if (ares_parse_mx_reply(answer, length, &records) == ARES_SUCCESS) {
            for (ares_mx_reply* r = records; r; r = r->next)
                result.exchanges.emplace_back(r->host);
            ares_free_data(records);
        }
        finish(std::move(result));
    }

    struct Watch {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    std::chrono::milliseconds limit_;
    ares_channel channel_ = nullptr;
    std::string setupError_;
    QEventLoop* loop_ = nullptr;
    QTimer retryTimer_;
    std::map<ares_socket_t, Watch> watches_;
    std::vector<std::unique_ptr<QSocketNotifier>> retired_;
    bool deadlinePassed_ = false;
    bool done_ = false;
    MxLookupResult result_;
};

} // namespace

MxResolver::MxResolver(QString server, std::chrono::milliseconds limit) : server_(std::move(server)), limit_(limit) {
    if (server_.isEmpty())
        server_ = qEnvironmentVariable("VELTRANE_DNS_SERVER").trimmed();
}

MxLookupResult MxResolver::lookUp(const std::string& domain) {
    Lookup lookup(server_, limit_);
    return lookup.run(domain);
}

std::string dnsErrorText(int code) {
    switch (code) {
    case 1:
        return "Domain server was unable to interpret a query";
    case 2:
        return "Domain server failure";
    case 3:
        return "Domain name does not exist";
    case 4:
        return "Not implemented";
    case 5:
        return "Domain server refused to return the information";
    default:
        return "Domain server Error #" + std::to_string(code);
    }
}

} // namespace veltrane
