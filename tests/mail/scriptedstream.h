#pragma once

#include <QIODevice>
#include <QTimer>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace veltrane::test {

// A byte stream that stands in for the server's socket: it feeds scripted replies to the client
// in the pieces given, one piece per turn of the event loop, each once the client has written the
// command it answers, and keeps every byte the client writes.
class ScriptedStream : public QIODevice {
    Q_OBJECT
public:
    ScriptedStream() { open(QIODevice::ReadWrite); }

    // The server's first words, fed as soon as the event loop runs.
    ScriptedStream& greet(std::vector<std::string> pieces) {
        queue(std::move(pieces));
        return *this;
    }
    // After the client's next line equals command (without CR LF), feeds these pieces. No pieces: silence.
    ScriptedStream& on(std::string command, std::vector<std::string> pieces = {}) {
        steps_.push_back({std::move(command), std::move(pieces), false});
        return *this;
    }
    // After that command, feeds the pieces and then ends the stream, as a server closing does.
    ScriptedStream& onThenClose(std::string command, std::vector<std::string> pieces = {}) {
        steps_.push_back({std::move(command), std::move(pieces), true});
        return *this;
    }

    const std::string& written() const { return written_; }
    // What the client wrote before the server's first bytes (its greeting) reached it.
    std::string writtenBeforeGreeting() const { return written_.substr(0, greetedAt_.value_or(written_.size())); }
    // Each write the client made, as it made it.
    const std::vector<std::string>& writes() const { return writes_; }
    // Lines the client wrote that the script did not expect there.
    const std::vector<std::string>& unexpected() const { return unexpected_; }
    bool scriptDone() const { return steps_.empty(); }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return static_cast<qint64>(incoming_.size()) + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 size) override {
        const size_t n = std::min(incoming_.size(), static_cast<size_t>(size));
        incoming_.copy(data, n);
        incoming_.erase(0, n);
        if (n == 0 && ended_)
            return -1;
        return static_cast<qint64>(n);
    }
    qint64 writeData(const char* data, qint64 size) override {
        const std::string bytes(data, static_cast<size_t>(size));
        written_ += bytes;
        writes_.push_back(bytes);
        lineBuffer_ += bytes;
        for (size_t feed; (feed = lineBuffer_.find("\r\n")) != std::string::npos;) {
            const std::string line = lineBuffer_.substr(0, feed);
            lineBuffer_.erase(0, feed + 2);
            if (steps_.empty() || steps_.front().command != line) {
                unexpected_.push_back(line);
                continue;
            }
            Step step = std::move(steps_.front());
            steps_.pop_front();
            queue(std::move(step.pieces), step.close);
        }
        return size;
    }

private:
    struct Step {
        std::string command;
        std::vector<std::string> pieces;
        bool close = false;
    };
    struct Piece {
        std::string bytes;
        bool close = false;
    };

    void queue(std::vector<std::string> pieces, bool close = false) {
        for (std::string& piece : pieces)
            pending_.push_back({std::move(piece), false});
        if (close)
            pending_.push_back({{}, true});
        if (!feeding_ && !pending_.empty()) {
            feeding_ = true;
            QTimer::singleShot(0, this, &ScriptedStream::feedOne);
        }
    }
    void feedOne() {
        feeding_ = false;
        if (pending_.empty() || !isOpen())
            return;
        Piece piece = std::move(pending_.front());
        pending_.pop_front();
        if (piece.close) {
            ended_ = true;
            emit readChannelFinished();
        } else {
            if (!greetedAt_)
                greetedAt_ = written_.size();
            incoming_ += piece.bytes;
            emit readyRead();
        }
        if (!pending_.empty()) {
            feeding_ = true;
            QTimer::singleShot(0, this, &ScriptedStream::feedOne);
        }
    }

    std::deque<Step> steps_;
    std::deque<Piece> pending_;
    std::string incoming_;
    std::string written_;
    std::vector<std::string> writes_;
    std::string lineBuffer_;
    std::vector<std::string> unexpected_;
    bool feeding_ = false;
    bool ended_ = false;
    std::optional<size_t> greetedAt_;
};

} // namespace veltrane::test
