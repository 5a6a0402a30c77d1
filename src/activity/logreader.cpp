#include "activity/logreader.h"

#include "base/text.h"
#include "message/datetext.h"

#include <QLocale>

namespace veltrane {

namespace {

constexpr size_t MaxField = 255;

// The 1-based position of the first occurrence of what in line; 0 when it does not occur.
size_t Pos(std::string_view what, std::string_view line) {
    const size_t at = line.find(what);
    return at == std::string_view::npos ? 0 : at + 1;
}

// The characters from 1-based position from up to, not including, the first delim at or after it;
// to the end of the line when no delim follows.
std::string getUntilCh(std::string_view line, size_t from, char delim) {
    if (from < 1 || from > line.size())
        return {};
    const size_t start = from - 1;
    const size_t end = line.find(delim, start);
    return std::string(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

// At most count characters from 1-based position from.
std::string copyFrom(std::string_view line, size_t from, size_t count) {
    if (from < 1 || from > line.size())
        return {};
    return std::string(line.substr(from - 1, count));
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The last two words of the line: the time and its AM/PM designator.
std::string timeOf(std::string_view line, const Clock& clock) {
    int blanks = 0;
    for (size_t i = line.size(); i-- > 0;) {
        if (line[i] == ' ' && ++blanks == 2)
            return trimText(line.substr(i + 1));
    }
    return QLocale().toString(clock.now().time(), longTimeFormat()).toUtf8().toStdString();
}

CheckRecord readCheck(std::string_view line, const Clock& clock) {
    CheckRecord r;
    r.count = getUntilCh(line, 12, ' ');
    if (const size_t at = Pos("for \"", line))
        r.mailbox = getUntilCh(line, at + 5, '"');
    if (const size_t at = Pos("on server ", line))
        r.server = getUntilCh(line, at + 10, ' ');
    // After " at " comes the day name: three letters and a blank.
    if (const size_t at = Pos(" at ", line))
        r.date = getUntilCh(line, at + 8, ' ');
    r.time = timeOf(line, clock);
    return r;
}

DeletionRecord readDeletion(std::string_view head, const NextLogLine& nextLine, const Clock& clock) {
    DeletionRecord r;
    r.date = getUntilCh(head, 20, ' '); // after "DELETE SPAM on " and the day name
    r.time = timeOf(head, clock);
    std::string body[4];
    for (std::string& line : body) {
        std::optional<std::string> next = nextLine ? nextLine() : std::nullopt;
        if (!next)
            break;
        line = std::move(*next);
    }
    if (Pos("Server:", body[0]))
        r.server = getUntilCh(body[0], 13, ' ');
    if (const size_t at = Pos("Mailbox:", body[0]))
        r.mailbox = copyFrom(body[0], at + 9, MaxField);
    if (const size_t at = Pos("Sender:", body[2]))
        r.sender = lowerCase(copyFrom(body[2], at + 9, MaxField));
    if (const size_t at = Pos("Size:", body[3]))
        r.size = getUntilCh(body[3], at + 9, ' ');
    if (const size_t at = Pos("@", r.sender))
        r.domain = copyFrom(r.sender, at + 1, MaxField);
    return r;
}

} // namespace

ParsedLogLine ParseLogLine(const std::string& line, const NextLogLine& nextLine, const Clock& clock) {
    ParsedLogLine parsed;
    if (Pos("MAIL CHECK ", line)) {
        parsed.kind = ParsedLogLine::Kind::Check;
        parsed.check = readCheck(line, clock);
    } else if (Pos("DELETE SPAM", line)) {
        parsed.kind = ParsedLogLine::Kind::Deletion;
        parsed.deletion = readDeletion(line, nextLine, clock);
    }
    return parsed;
}

std::optional<std::string> LogLineReader::next() {
    if (device_.atEnd())
        return std::nullopt;
    // readLine(n) gives at most n - 1 bytes.
    QByteArray line = device_.readLine(MaxLogLine + 1);
    if (line.isEmpty() && device_.atEnd())
        return std::nullopt;
    if (line.endsWith('\n')) {
        line.chop(1);
    } else {
        // Cut short: skip what is left of the line.
        while (!device_.atEnd()) {
            const QByteArray rest = device_.readLine(MaxLogLine + 1);
            if (rest.isEmpty() || rest.endsWith('\n'))
                break;
        }
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return line.toStdString();
}

ParsedLog parseLog(QIODevice& device, const Clock& clock) {
    ParsedLog log;
    LogLineReader reader(device);
    const NextLogLine next = [&reader] { return reader.next(); };
    while (std::optional<std::string> line = reader.next()) {
        ParsedLogLine parsed = ParseLogLine(*line, next, clock);
        if (parsed.kind == ParsedLogLine::Kind::Check && parsed.check.kept())
            log.checks.push_back(std::move(parsed.check));
        else if (parsed.kind == ParsedLogLine::Kind::Deletion)
            log.deletions.push_back(std::move(parsed.deletion));
    }
    return log;
}

} // namespace veltrane
