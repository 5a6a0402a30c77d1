#include "message/headers.h"

#include <QLocale>
#include <QTime>
#include <array>

namespace veltrane {

namespace {

constexpr size_t MaxFieldLength = 255;

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool startsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(text[i]) != upper(prefix[i]))
            return false;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string decodeQ(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() + 0 && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string decodeB(std::string_view text) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=')
            break;
        else
            continue; // stray bytes are skipped, as lenient decoders do
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Decodes the encoded words of an already cut value from left to right.
std::string decodeEncodedWords(const std::string& value) {
    std::string out;
    bool decodedAny = false;
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t start = value.find("=?", pos);
        if (start == std::string::npos) {
            out.append(value, pos, std::string::npos);
            break;
        }
        out.append(value, pos, start - pos);
        // =?charset?X?text?=  -- the "?=" right after the marker's "?" is the text's first
        // character, not the end, so the end is searched from the text on.
        const size_t charsetEnd = value.find('?', start + 2);
        const bool complete = charsetEnd != std::string::npos && charsetEnd + 2 < value.size() &&
                              value[charsetEnd + 2] == '?' &&
                              (upper(value[charsetEnd + 1]) == 'B' || upper(value[charsetEnd + 1]) == 'Q');
        const size_t textStart = charsetEnd + 3;
        const size_t end = complete ? value.find("?=", textStart) : std::string::npos;
        if (end == std::string::npos)
            break; // an "=?" that starts no complete encoded word ends the value
        const std::string_view text(value.data() + textStart, end - textStart);
        out += upper(value[charsetEnd + 1]) == 'B' ? decodeB(text) : decodeQ(text);
        decodedAny = true;
        pos = end + 2;
        // White space between two encoded words is not part of the text (RFC 2047, 6.2); white
        // space before ordinary text is kept, so "=?..?= world" keeps its word gap.
        size_t next = pos;
        while (next < value.size() && isSpaceOrTab(value[next]))
            ++next;
        if (value.compare(next, 2, "=?") == 0)
            pos = next;
    }
    if (decodedAny) {
        for (char& c : out)
            if (c == '_')
                c = ' ';
    }
    return out;
}

std::string cut(std::string_view text) {
    return std::string(text.substr(0, MaxFieldLength));
}

void stripQuotes(std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == '"')
        ++b;
    while (e > b && s[e - 1] == '"')
        --e;
    s = s.substr(b, e - b);
}

std::string cleanPart(std::string_view text) {
    std::string s = trimText(text);
    stripQuotes(s);
    return cut(s);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<int> wholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// A time of day as typed in the locale's way: hours, minutes and optional seconds with the
// locale's separator (":" as a fallback), optionally followed by AM or PM.
std::optional<QTime> parseTimeOfDay(std::string_view text) {
    std::string t(text);
    bool pm = false, am = false;
    for (std::string_view suffix : {"AM", "PM"}) {
        if (t.size() > 2 && t.compare(t.size() - 2, 2, suffix) == 0) {
            (suffix == "PM" ? pm : am) = true;
            t.resize(t.size() - 2);
            while (!t.empty() && t.back() == ' ')
                t.pop_back();
        }
    }
    const QString localeSeparator = QLocale().timeFormat(QLocale::ShortFormat).contains('.') ? "." : ":";
    const char sep = localeSeparator.toLatin1().at(0);
    std::array<int, 3> parts{0, 0, 0};
    size_t count = 0, pos = 0;
    while (true) {
        size_t next = t.find_first_of(std::string{sep, ':'}, pos);
        auto value =
            wholeNumber(std::string_view(t).substr(pos, next == std::string::npos ? std::string::npos : next - pos));
        if (!value || count == 3)
            return std::nullopt;
        parts[count++] = *value;
        if (next == std::string::npos)
            break;
        pos = next + 1;
    }
    int hour = parts[0];
    if (am || pm) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = (hour % 12) + (pm ? 12 : 0);
    }
    QTime time(hour, parts[1], parts[2]);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace

std::string GetHeader(const HeaderLines& lines, std::string_view name) {
    std::string field(name);
    if (field.empty() || field.back() != ':')
        field += ':';
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!startsWithFolded(lines[i], field))
            continue;
        // The value starts after the colon; the customary space after it goes with the trim.
        std::string value = trimText(std::string_view(lines[i]).substr(field.size()));
        for (size_t j = i + 1; j < lines.size() && !lines[j].empty() && isSpaceOrTab(lines[j][0]); ++j)
            value += " " + trimText(lines[j]);
        return decodeEncodedWords(cut(value));
    }
    return {};
}

SplitAddressResult SplitAddress(std::string_view text) {
    SplitAddressResult result;
    const size_t open = text.find('<');
    if (open != std::string_view::npos) {
        const size_t close = text.find('>');
        if (close != std::string_view::npos && close > open) {
            result.address = cleanPart(text.substr(open + 1, close - open - 1));
            std::string rest(text.substr(0, open));
            rest += text.substr(close + 1);
            result.name = cleanPart(rest);
        }
        if (result.address.empty())
            result.name = cleanPart(text);
        return result;
    }
    const size_t paren = text.find('(');
    if (paren != std::string_view::npos) {
        result.address = cleanPart(text.substr(0, paren));
        std::string_view after = text.substr(paren + 1);
        result.name = cleanPart(after.substr(0, after.empty() ? 0 : after.size() - 1));
        return result;
    }
    result.address = cut(text);
    return result;
}

MailDate ParseMailDate(std::string_view input) {
    std::string s = trimText(input);
    stripQuotes(s);
    for (char& c : s)
        c = upper(c);
    if (s.empty())
        return {};

    // Day: from the first digit (past the day name) up to the next space.
    size_t pos = 0;
    while (pos < s.size() && !isDigit(s[pos]))
        ++pos;
    const size_t dayEnd = s.find(' ', pos);
    if (pos >= s.size() || dayEnd == std::string::npos)
        return {};
    const auto day = wholeNumber(std::string_view(s).substr(pos, dayEnd - pos));
    if (!day)
        return {};
    const std::string rest = s.substr(dayEnd + 1);

    static constexpr std::array<std::string_view, 12> Months{"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                             "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    int month = 0;
    size_t monthAt = std::string::npos;
    for (size_t m = 0; m < Months.size(); ++m) {
        monthAt = rest.find(Months[m]);
        if (monthAt != std::string::npos) {
            month = static_cast<int>(m) + 1;
            break;
        }
    }
    if (month == 0)
        return {};

    pos = monthAt + 3;
    while (pos < rest.size() && !isDigit(rest[pos]))
        ++pos;
    if (pos >= rest.size())
        return {};
    size_t yearEnd = rest.find_first_of(" ,", pos);
    if (yearEnd == std::string::npos)
        yearEnd = rest.size();
    auto year = wholeNumber(std::string_view(rest).substr(pos, yearEnd - pos));
    if (!year)
        return {};
    if (*year > 50 && *year < 100)
        *year += 1900;
    else if (*year <= 50)
        *year += 2000;
    pos = yearEnd;
    if (pos < rest.size() && rest[pos] == ',')
        ++pos;
    while (pos < rest.size() && rest[pos] == ' ')
        ++pos;

    size_t timeEnd = rest.find(' ', pos);
    if (timeEnd == std::string::npos)
        timeEnd = rest.size();
    std::string timeText = rest.substr(pos, timeEnd - pos);
    if (!timeText.empty() && timeText.back() == ',')
        timeText.pop_back();
    const QTime time = parseTimeOfDay(timeText).value_or(QTime(0, 0));

    const QDate date(*year, month, *day);
    if (!date.isValid())
        return {};
    MailDate result;
    result.dateTime = QDateTime(date, time);
    result.zone = timeEnd < rest.size() ? trimText(std::string_view(rest).substr(timeEnd)) : std::string();
    return result;
}

} // namespace veltrane
