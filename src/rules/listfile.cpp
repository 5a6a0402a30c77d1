#include "rules/listfile.h"

#include "base/atomicfile.h"
#include "message/markstate.h"

#include <QDir>
#include <QFile>
#include <charconv>
#include <optional>
#include <string_view>

namespace veltrane {

namespace {

// Larger tables than this are not rule lists anyone keeps; refusing them keeps a damaged or
// hostile file from claiming gigabytes before a single cell is read.
constexpr long long MaxColumns = 64;
constexpr long long MaxRows = 200000;

std::optional<long long> number(std::string_view text) {
    long long value = 0;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string escapeCell(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\r')
            c = '\t';
        else if (c == '\n')
            c = '\b';
    }
    return out;
}

std::string unescapeCell(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\t')
            c = '\r';
        else if (c == '\b')
            c = '\n';
    }
    return out;
}

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void readWidth(std::string_view line, RuleList& list) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma < 3)
        return;
    const auto column = number(line.substr(3, comma - 3));
    const auto width = number(line.substr(comma + 1));
    if (!column || !width || *column < 0 || *column >= list.columnCount() || *width < 0 || *width > 100000)
        return;
    list.setColumnWidth(static_cast<int>(*column), static_cast<int>(*width));
}

void readCell(std::string_view line, RuleList& list) {
    const size_t first = line.find(',');
    if (first == std::string_view::npos)
        return;
    const size_t second = line.find(',', first + 1);
    if (second == std::string_view::npos)
        return;
    const auto column = number(line.substr(0, first));
    const auto row = number(line.substr(first + 1, second - first - 1));
    if (!column || !row || *column < 0 || *row < 0 || *column >= list.columnCount() || *row >= list.rowCount())
        return;
    list.setCell(static_cast<int>(*column), static_cast<int>(*row), unescapeCell(line.substr(second + 1)));
}

Status bringToLayout(RuleList& list) {
    const int columns = list.layoutColumnCount();
    list.truncateColumns(columns);
    // An older exception layout without icons (5 columns) or without the hidden icon index (6)
    // gets its missing columns at the end, so "Hits" stays column 4.
    if (list.columnCount() < columns)
        list.insertColumns(list.columnCount(), columns - list.columnCount());
    while (list.rowCount() < 2)
        list.insertRow(list.rowCount());

    for (int row = 1; row < list.rowCount(); ++row) {
        if (list.kind() != RuleListKind::Exception) {
            CheckGridAdv(list, row, list.flag(SubjectColumn::Delete, row));
            continue;
        }
        const auto icon = exceptionIcon(list, row);
        if (!icon)
            return Status::failure("'" + list.cell(ExceptionColumn::IconIndex, row) + "' is not a valid integer value");
        list.setIcon(row, *icon);
    }
    return Status::success();
}

} // namespace

std::string listFileText(const RuleList& list) {
    std::string out;
    out += std::to_string(list.columnCount()) + "," + std::to_string(list.rowCount()) + "\r\n";
    for (int c = 0; c < list.columnCount(); ++c)
        out += "cw " + std::to_string(c) + "," + std::to_string(list.columnWidth(c)) + "\r\n";
    for (int r = 0; r < list.rowCount(); ++r) {
        for (int c = 0; c < list.columnCount(); ++c) {
            const std::string& text = list.cell(c, r);
            if (!text.empty())
                out += std::to_string(c) + "," + std::to_string(r) + "," + escapeCell(text) + "\r\n";
        }
    }
    return out;
}

Status parseListFile(const std::string& bytes, const QString& path, RuleList& list) {
    std::string_view rest(bytes);
    auto nextLine = [&rest]() {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        // CR LF is the format; a file whose lines end in LF alone reads the same.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    };

    const std::string_view head = nextLine();
    const size_t comma = head.find(',');
    const long long columns = number(head.substr(0, comma)).value_or(0);
    const long long rows = comma == std::string_view::npos ? 0 : number(head.substr(comma + 1)).value_or(0);
    if (columns <= 0 || rows <= 0 || columns > MaxColumns || rows > MaxRows) {
        list.reset();
        return Status::failure("File contains no data or corrupt file " + shownPath(path).toStdString());
    }
    list.setSize(static_cast<int>(columns), static_cast<int>(rows));

    while (!rest.empty()) {
        const std::string_view line = nextLine();
        if (line.empty())
            continue;
        if (line.starts_with("cw"))
            readWidth(line, list);
        else
            readCell(line, list);
    }
    return bringToLayout(list);
}

Status readListFile(const QString& path, RuleList& list) {
    if (!QFile::exists(path)) {
        list.reset();
        return Status::success();
    }
    const auto bytes = readWholeFile(path);
    if (!bytes)
        return Status::failure("File " + shownPath(path).toStdString() + " not found");
    return parseListFile(*bytes, path, list);
}

Status writeListFile(const QString& path, const RuleList& list) {
    return writeFileAtomically(path, listFileText(list));
}

} // namespace veltrane
