#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace veltrane {

// Keeps a second start of the program from running beside the first: the first instance listens
// on a local socket named after the user and the data folder; a later start asks it to come to
// the front and then ends.
class FirstInstance final : public QObject {
    Q_OBJECT
public:
    // The socket name for the current user and data folder.
    static QString defaultKey();

    explicit FirstInstance(QString key = defaultKey(), QObject* parent = nullptr);
    ~FirstInstance() override;

    // Asks a running instance to come to the front. True when one answered: this start should end.
    // Otherwise this instance starts listening and becomes the first one. The wait runs the event
    // loop, so an instance in this same process can answer.
    bool anotherInstanceAnswered(int timeoutMs = 3000);

    // Only asks: true when a running instance answered (and was asked to come to the front).
    bool askRunning(int timeoutMs);

    bool listening() const { return server_.isListening(); }
    const QString& key() const { return key_; }

signals:
    // A later start asked this instance to come to the front.
    void raiseRequested();

private:
    void serve();

    QString key_;
    QLocalServer server_;
};

} // namespace veltrane
