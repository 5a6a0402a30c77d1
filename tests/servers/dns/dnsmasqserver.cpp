#include "servers/dns/dnsmasqserver.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QStandardPaths>
#include <QUdpSocket>

namespace veltrane::test {

namespace {

// A free UDP port of 127.0.0.1 at this moment. Another process may take it before dnsmasq binds
// it; start() tries again with another port when that happens.
quint16 freeUdpPort() {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0))
        return 0;
    return socket.localPort();
}

QString dnsmasqProgram() {
    QString path = QStandardPaths::findExecutable("dnsmasq");
    if (path.isEmpty())
        path = QStandardPaths::findExecutable("dnsmasq", {"/usr/sbin", "/sbin", "/usr/local/sbin"});
    return path;
}

// A query for the A record of a name under example, which dnsmasq answers as soon as it listens.
QByteArray probeQuery() {
    QByteArray packet = QByteArray::fromHex("beef01000001000000000000");
    packet += '\x05';
    packet += "probe";
    packet += '\x07';
    packet += "example";
    packet += QByteArray::fromHex("0000010001");
    return packet;
}

} // namespace

DnsmasqServer::~DnsmasqServer() {
    stop();
}

QStringList DnsmasqServer::standardZone() {
    return {
        "--mx-host=good.example,mail.good.example,10",
        "--mx-host=other.example,mail.other.example,20",
        "--host-record=nomx.example,192.0.2.7",
        "--local=/example/",
    };
}

QString DnsmasqServer::address() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

bool DnsmasqServer::start(const QStringList& records) {
    stop();
    const QString program = dnsmasqProgram();
    if (program.isEmpty()) {
        error_ = "dnsmasq is not installed (scripts/install-deps.sh installs it)";
        return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freeUdpPort();
        if (port_ == 0) {
            error_ = "no free UDP port on 127.0.0.1";
            return false;
        }
        QStringList args = {
            "--no-daemon",
            "--conf-file=/dev/null",
            "--pid-file",
            "--port=" + QString::number(port_),
            "--listen-address=127.0.0.1",
            "--bind-interfaces",
            "--no-resolv",
            "--no-hosts",
            "--no-poll",
            "--log-facility=-",
        };
        args += records;
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, args);
        if (!process_.waitForStarted(5000)) {
            error_ = "dnsmasq did not start: " + process_.errorString();
            return false;
        }
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
            if (answersProbe())
                return true;
            process_.waitForFinished(50);
        }
        error_ = "dnsmasq did not come up: " + QString::fromLocal8Bit(process_.readAll());
        stop();
        // Another process may have taken the port between our look and dnsmasq's bind.
        if (!error_.contains("in use"))
            return false;
    }
    return false;
}

void DnsmasqServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool DnsmasqServer::answersProbe() {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0))
        return false;
    socket.writeDatagram(probeQuery(), QHostAddress::LocalHost, port_);
    if (!socket.waitForReadyRead(200))
        return false;
    const QByteArray reply = socket.receiveDatagram().data();
    return reply.size() >= 12 && reply.left(2) == QByteArray::fromHex("beef");
}

} // namespace veltrane::test
