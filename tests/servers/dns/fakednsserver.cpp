#include "servers/dns/fakednsserver.h"

#include <QNetworkDatagram>

namespace veltrane::test {

FakeDnsServer::FakeDnsServer(Reply reply, int errorCode) : reply_(reply), errorCode_(errorCode) {
    socket_.bind(QHostAddress::LocalHost, 0);
    connect(&socket_, &QUdpSocket::readyRead, this, &FakeDnsServer::readQueries);
}

void FakeDnsServer::readQueries() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        QByteArray packet = datagram.data();
        queries_.push_back(packet);
        if (reply_ == Reply::Silent || packet.size() < 12)
            continue;
        if (reply_ == Reply::WrongId) {
            packet[0] = static_cast<char>(packet[0] ^ 0x5a);
            packet[2] = static_cast<char>(packet[2] | 0x80);
        } else if (reply_ == Reply::ErrorCode) {
            packet[2] = static_cast<char>(packet[2] | 0x80);
            packet[3] = static_cast<char>((packet[3] & 0xf0) | (errorCode_ & 0x0f));
        }
        socket_.writeDatagram(packet, datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
    }
}

} // namespace veltrane::test
