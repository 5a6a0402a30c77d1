#include "ui/firstinstance.h"

#include "base/datafolder.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>
#include <unistd.h>

namespace veltrane {

namespace {
const QByteArray Request = "raise\n";
const QByteArray Answer = "ok\n";
} // namespace

QString FirstInstance::defaultKey() {
    // Two profiles (data folders) of one user are two programs: the demo runs beside the real one.
    const QByteArray folder = QCryptographicHash::hash(dataFolder().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("veltrane-%1-%2").arg(getuid()).arg(QString::fromLatin1(folder.left(16)));
}

FirstInstance::FirstInstance(QString key, QObject* parent) : QObject(parent), key_(std::move(key)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &FirstInstance::serve);
}

FirstInstance::~FirstInstance() = default;

bool FirstInstance::askRunning(int timeoutMs) {
    QLocalSocket socket;
    QEventLoop loop;
    bool answered = false;
    QByteArray received;
    connect(&socket, &QLocalSocket::connected, &loop, [&] { socket.write(Request); });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        received += socket.readAll();
        if (received.contains('\n')) {
            answered = received == Answer;
            loop.quit();
        }
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop, [&] { loop.quit(); });
    connect(&socket, &QLocalSocket::disconnected, &loop, [&] { loop.quit(); });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    socket.connectToServer(key_);
    if (socket.state() != QLocalSocket::UnconnectedState)
        loop.exec();
    return answered;
}

bool FirstInstance::anotherInstanceAnswered(int timeoutMs) {
    if (server_.isListening())
        return false;
    if (askRunning(timeoutMs))
        return true;
    if (server_.listen(key_))
        return false;
    if (server_.serverError() != QAbstractSocket::AddressInUseError)
        return false; // no guard is possible; the program runs unguarded rather than not at all
    // Either another start won the race to listen (ask it once more), or a crashed instance left
    // its socket file behind (nobody answers: take the name over).
    if (askRunning(timeoutMs))
        return true;
    QLocalServer::removeServer(key_);
    server_.listen(key_);
    return false;
}

void FirstInstance::serve() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // The request is one short line; anything longer is not ours.
            if (socket->bytesAvailable() > 64) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == Request) {
                socket->write(Answer);
                socket->flush();
                emit raiseRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace veltrane
