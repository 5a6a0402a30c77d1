#include "mail/pop3reply.h"

#include "message/headers.h"

#include <limits>

namespace veltrane {

void LineBuffer::append(const char* data, size_t size) {
    if (start_ > 0 && start_ >= data_.size() / 2) {
        data_.erase(0, start_);
        start_ = 0;
    }
    data_.append(data, size);
}

std::optional<LineBuffer::Line> LineBuffer::takeLine(size_t cap) {
    const size_t feed = data_.find('\n', start_);
    if (skipping_) {
        if (feed == std::string::npos) {
            data_.clear();
            start_ = 0;
            return std::nullopt;
        }
        start_ = feed + 1;
        skipping_ = false;
        Line line{std::move(partial_), true};
        partial_.clear();
        return line;
    }
    if (feed == std::string::npos) {
        if (data_.size() - start_ > cap) {
            partial_.assign(data_, start_, cap);
            data_.clear();
            start_ = 0;
            skipping_ = true;
        }
        return std::nullopt;
    }
    const size_t length = feed + 1 - start_;
    Line line;
    if (length > cap) {
        line.bytes.assign(data_, start_, cap);
        line.cut = true;
    } else {
        line.bytes.assign(data_, start_, length);
    }
    start_ = feed + 1;
    return line;
}

bool LineBuffer::takeData(std::string& out, DataScan& scan) {
    size_t i = start_;
    bool done = false;
    for (; i < data_.size() && !done; ++i) {
        const char c = data_[i];
        switch (scan.state) {
        case 0:
            if (c == '\n')
                scan.state = 1;
            break;
        case 1:
            scan.state = c == '.' ? 2 : (c == '\n' ? 1 : 0);
            break;
        case 2:
            if (c == '\n')
                done = true;
            else
                scan.state = c == '\r' ? 3 : 0;
            break;
        default: // "." and one or more CRs at a line's start
            if (c == '\n')
                done = true;
            else if (c != '\r')
                scan.state = 0;
            break;
        }
    }
    out.append(data_, start_, i - start_);
    start_ = i;
    return done;
}

void LineBuffer::clear() {
    data_.clear();
    start_ = 0;
    partial_.clear();
    skipping_ = false;
}

std::string_view StripLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

bool IsPositive(std::string_view reply) {
    return !reply.empty() && reply.front() == '+';
}

namespace {

// Decimal digits only, without sign; nothing when empty or above the limit.
std::optional<long long> decimal(std::string_view text, long long limit) {
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::string_view afterStatus(std::string_view reply) {
    return reply.size() > 4 ? reply.substr(4) : std::string_view();
}

std::string_view skipSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

std::string_view firstWord(std::string_view text) {
    const size_t space = text.find(' ');
    return space == std::string_view::npos ? text : text.substr(0, space);
}

} // namespace

std::optional<int> StatCount(std::string_view reply) {
    const auto count = decimal(firstWord(skipSpaces(afterStatus(reply))), std::numeric_limits<int>::max());
    if (!count)
        return std::nullopt;
    return static_cast<int>(*count);
}

long long ListSize(std::string_view reply) {
    const std::string_view rest = afterStatus(reply);
    const size_t space = rest.find(' ');
    if (space == std::string_view::npos)
        return 0;
    // Servers may add more after the size; the size is the number that comes first.
    return decimal(firstWord(rest.substr(space + 1)), std::numeric_limits<long long>::max()).value_or(0);
}

Capabilities ParseCapabilities(const std::vector<std::string>& lines) {
    Capabilities caps;
    for (const std::string& line : lines) {
        std::string name(firstWord(skipSpaces(line)));
        for (char& c : name)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        if (name == "STLS")
            caps.stls = true;
        else if (name == "PIPELINING")
            caps.pipelining = true;
        else if (name == "UIDL")
            caps.uidl = true;
    }
    return caps;
}

std::optional<UniqueIdEntry> ParseUniqueId(std::string_view text) {
    text = skipSpaces(StripLineEnd(text));
    const auto number = decimal(firstWord(text), std::numeric_limits<int>::max());
    if (!number || *number == 0)
        return std::nullopt;
    std::string_view id = skipSpaces(text.substr(firstWord(text).size()));
    while (!id.empty() && (id.back() == ' ' || id.back() == '\t'))
        id.remove_suffix(1);
    if (id.empty())
        return std::nullopt;
    return UniqueIdEntry{*number, std::string(id.substr(0, pop3limits::UniqueId))};
}

bool HeadersMatch(const HeaderLines& stored, const HeaderLines& reread) {
    const size_t common = std::min(stored.size(), reread.size());
    for (size_t i = 0; i < common; ++i)
        if (stored[i] != reread[i])
            return false;
    // An empty header says nothing about the message it stands for, so it vouches only for another
    // empty one; otherwise a headerless message could let a different message be deleted.
    if (common == 0 && stored.size() != reread.size())
        return false;
    const std::string storedId = GetHeader(stored, "Message-ID");
    const std::string rereadId = GetHeader(reread, "Message-ID");
    if (!storedId.empty() && !rereadId.empty() && storedId != rereadId)
        return false;
    return true;
}

} // namespace veltrane
