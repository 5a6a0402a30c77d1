#pragma once

#include "base/clock.h"

#include <QIODevice>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// A "MAIL CHECK" line as read back. All fields are texts as found.
struct CheckRecord {
    std::string count;
    std::string mailbox;
    std::string server;
    std::string date;
    std::string time;

    // A record without a count is not kept, though its mailbox still names a mailbox.
    bool kept() const { return !count.empty(); }
    bool operator==(const CheckRecord&) const = default;
};

// A "DELETE SPAM" block as read back; sender and domain in lower case.
struct DeletionRecord {
    std::string mailbox;
    std::string server;
    std::string date;
    std::string time;
    std::string size;
    std::string sender;
    std::string domain;

    bool operator==(const DeletionRecord&) const = default;
};

struct ParsedLogLine {
    enum class Kind { Other, Check, Deletion };
    Kind kind = Kind::Other;
    CheckRecord check;       // for Kind::Check
    DeletionRecord deletion; // for Kind::Deletion
};

// The line after the current one, or nothing at the end of the log.
using NextLogLine = std::function<std::optional<std::string>()>;

// Takes one line of the log apart. A check line gives a CheckRecord; a deletion head gives a
// DeletionRecord and takes the four lines after it from nextLine (as far as there are any),
// whatever they hold; any other line gives nothing. A line without a time takes the clock's time.
ParsedLogLine ParseLogLine(const std::string& line, const NextLogLine& nextLine, const Clock& clock);

// The lines of a log, read from a device one at a time, without their CR LF (a bare LF ends a line
// too). A line longer than MaxLogLine bytes is cut there and the rest of it skipped, so a damaged
// file cannot take unbounded memory.
class LogLineReader {
public:
    static constexpr qint64 MaxLogLine = 64 * 1024;
    explicit LogLineReader(QIODevice& device) : device_(device) {}
    std::optional<std::string> next();

private:
    QIODevice& device_;
};

// Both record lists of a whole log, in file order; check records without a count left out.
struct ParsedLog {
    std::vector<CheckRecord> checks;
    std::vector<DeletionRecord> deletions;
};
ParsedLog parseLog(QIODevice& device, const Clock& clock);

} // namespace veltrane
