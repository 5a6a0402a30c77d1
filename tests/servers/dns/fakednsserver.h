#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUdpSocket>
#include <vector>

namespace veltrane::test {

// A scripted DNS server on a free UDP port of 127.0.0.1 for the answers a real server does not
// give. It keeps every query it receives. It serves while the event loop runs, which it does
// while a lookup waits.
class FakeDnsServer : public QObject {
    Q_OBJECT
public:
    enum class Reply {
        Silent,    // never answers
        Echo,      // sends the query back: not marked as a response
        WrongId,   // a well-formed response under another identifier
        ErrorCode, // a response carrying errorCode()
    };

    explicit FakeDnsServer(Reply reply, int errorCode = 0);

    bool listening() const { return socket_.state() == QAbstractSocket::BoundState; }
    quint16 port() const { return socket_.localPort(); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    const std::vector<QByteArray>& queries() const { return queries_; }

private:
    void readQueries();

    Reply reply_;
    int errorCode_;
    QUdpSocket socket_;
    std::vector<QByteArray> queries_;
};

} // namespace veltrane::test
