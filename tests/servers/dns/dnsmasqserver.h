#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace veltrane::test {

// A dnsmasq serving only what it is told, on a free UDP port of 127.0.0.1, for as long as the object
// lives. It forwards nothing: names under a --local domain that it does not know are answered
// NXDOMAIN, and every other name is refused.
class DnsmasqServer {
public:
    DnsmasqServer() = default;
    ~DnsmasqServer();
    DnsmasqServer(const DnsmasqServer&) = delete;
    DnsmasqServer& operator=(const DnsmasqServer&) = delete;

    // The zone most tests use: good.example and other.example have an MX record, nomx.example
    // only an address, every other name under example does not exist, and names elsewhere are
    // refused.
    static QStringList standardZone();

    // Starts the server with the given records and waits until it answers. False, with the reason
    // in error(), when it could not be started.
    bool start(const QStringList& records = standardZone());
    void stop();

    quint16 port() const { return port_; }
    // "127.0.0.1:port", the form VELTRANE_DNS_SERVER takes.
    QString address() const;
    QString error() const { return error_; }

private:
    bool answersProbe();

    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

} // namespace veltrane::test
