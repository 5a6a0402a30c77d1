#pragma once

#include "message/messageentry.h"

#include <QByteArray>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// Limits that keep a broken or hostile server from growing the client's memory without bound.
namespace pop3limits {
// A status line (greeting, +OK / -ERR) longer than this is cut; the rest up to its line feed is dropped.
constexpr size_t ReplyLine = 4096;
// One line of multi-line data (CAPA, UIDL, TOP) is cut the same way.
constexpr size_t DataLine = 64 * 1024;
// The header lines kept of one message; lines past this are read and dropped.
constexpr size_t HeaderBytes = 1024 * 1024;
// A downloaded message larger than this ends the download with an error.
constexpr size_t MessageBytes = 256u * 1024 * 1024;
// Entries kept of a CAPA reply.
constexpr size_t CapabilityLines = 256;
// The longest unique id kept from a UIDL reply (the protocol allows 70 characters).
constexpr size_t UniqueId = 512;
} // namespace pop3limits

// The bytes received and not yet read, handed out line by line. A line that grows past the
// caller's cap is cut there: its first bytes are kept and the rest is dropped as it arrives,
// so the buffer never holds much more than one cap and one read's worth of bytes.
class LineBuffer {
public:
    void append(const char* data, size_t size);
    void append(const QByteArray& data) { append(data.constData(), static_cast<size_t>(data.size())); }
    void append(std::string_view data) { append(data.data(), data.size()); }

    struct Line {
        std::string bytes; // as received, line feed included; when cut, only the first cap bytes
        bool cut = false;
    };
    // The next whole line when one has arrived; nothing while its line feed is still to come.
    std::optional<Line> takeLine(size_t cap);

    // The bytes of a multi-line reply kept whole, up to and including its terminating "." line.
    // Returns true once that line has been taken; false while more bytes are needed.
    struct DataScan {
        int state = 1; // 0 inside a line, 1 at a line's start, 2 after "." there, 3 after "." and CR
    };
    bool takeData(std::string& out, DataScan& scan);

    size_t pending() const { return data_.size() - start_ + partial_.size(); }
    void clear();

private:
    std::string data_;
    size_t start_ = 0;
    // A line cut at its cap, waiting for its line feed.
    std::string partial_;
    bool skipping_ = false;
};

// Without its trailing CR and LF characters.
std::string_view StripLineEnd(std::string_view line);

bool IsPositive(std::string_view reply);

// The message count of a STAT reply: the text after the first four characters up to the next
// space. Nothing when it is not a decimal number that fits an int.
std::optional<int> StatCount(std::string_view reply);

// The size of a LIST reply: the number after the first space that follows the first four
// characters; 0 when it is not a number.
long long ListSize(std::string_view reply);

struct Capabilities {
    bool stls = false;
    bool pipelining = false;
    bool uidl = false;
};
Capabilities ParseCapabilities(const std::vector<std::string>& lines);

struct UniqueIdEntry {
    long long number = 0;
    std::string id;
};
// One line of a UIDL listing ("n id"), or the text after "+OK " of a UIDL n reply.
std::optional<UniqueIdEntry> ParseUniqueId(std::string_view text);

// Whether a header read again still describes the stored message. Lines are compared pairwise
// over the length of the shorter header; an empty header matches only an empty one; when both
// carry a Message-ID the two values must be equal.
bool HeadersMatch(const HeaderLines& stored, const HeaderLines& reread);

} // namespace veltrane
