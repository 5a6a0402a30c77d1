#include "rules/rulelist.h"

#include "base/inifile.h"
#include "message/markstate.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>

namespace veltrane {

namespace {

const std::string EmptyCell;

struct Layout {
    std::array<std::string_view, 7> headings;
    std::array<int, 7> widths;
    int columns;
};

const Layout& layoutOf(RuleListKind kind) {
    static const Layout subject{{"", "What", "Matches", "Case", "Del?", "Hits"}, {20, 140, 220, 45, 40, 50}, 6};
    static const Layout sender{{"", "What", "Condition", "Matches", "Del?", "Hits"}, {20, 110, 130, 200, 40, 50}, 6};
    static const Layout exception{
        {"What", "Condition", "Matches", "Case?", "Hits", "", ""}, {110, 130, 200, 45, 50, 24, 0}, 7};
    switch (kind) {
    case RuleListKind::Sender:
        return sender;
    case RuleListKind::Exception:
        return exception;
    case RuleListKind::Subject:
    case RuleListKind::Header:
        break;
    }
    return subject;
}

} // namespace

RuleList::RuleList(RuleListKind kind) : kind_(kind) {
    reset();
}

int RuleList::layoutColumnCount() const {
    return layoutOf(kind_).columns;
}

int RuleList::hitsColumn() const {
    return kind_ == RuleListKind::Exception ? ExceptionColumn::Hits : static_cast<int>(SubjectColumn::Hits);
}

int RuleList::deleteColumn() const {
    return kind_ == RuleListKind::Exception ? -1 : static_cast<int>(SubjectColumn::Delete);
}

const std::string& RuleList::cell(int column, int row) const {
    if (!validRow(row) || column < 0 || column >= static_cast<int>(rows_[row].size()))
        return EmptyCell;
    return rows_[row][column];
}

void RuleList::setCell(int column, int row, std::string text) {
    if (!validRow(row) || column < 0 || column >= columnCount())
        return;
    rows_[row][column] = std::move(text);
    changed(column);
}

int RuleList::columnWidth(int column) const {
    return column >= 0 && column < columnCount() ? widths_[column] : 0;
}

void RuleList::setColumnWidth(int column, int width) {
    if (column >= 0 && column < columnCount())
        widths_[column] = width;
}

std::optional<int> RuleList::icon(int row) const {
    return validRow(row) ? icons_[row] : std::nullopt;
}

void RuleList::setIcon(int row, std::optional<int> icon) {
    if (validRow(row))
        icons_[row] = icon;
}

void RuleList::insertRow(int before) {
    before = std::clamp(before, 0, rowCount());
    rows_.insert(rows_.begin() + before, std::vector<std::string>(widths_.size()));
    icons_.insert(icons_.begin() + before, std::nullopt);
    changed();
}

void RuleList::removeRow(int row) {
    if (!validRow(row))
        return;
    if (rowCount() <= 2 && row > 0) {
        clearRow(row); // a list keeps its one (empty) data row
        return;
    }
    rows_.erase(rows_.begin() + row);
    icons_.erase(icons_.begin() + row);
    changed();
}

void RuleList::clearRow(int row) {
    if (!validRow(row))
        return;
    std::fill(rows_[row].begin(), rows_[row].end(), std::string());
    icons_[row] = std::nullopt;
    changed();
}

void RuleList::moveRow(int from, int to) {
    if (!validRow(from) || !validRow(to) || from == to)
        return;
    auto row = std::move(rows_[from]);
    auto icon = icons_[from];
    rows_.erase(rows_.begin() + from);
    icons_.erase(icons_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(row));
    icons_.insert(icons_.begin() + to, icon);
    changed();
}

int RuleList::addRule(const std::vector<std::string>& cells) {
    const bool onlyEmptyRow =
        rowCount() == 2 && std::all_of(rows_[1].begin(), rows_[1].end(), [](const auto& c) { return c.empty(); });
    const int row = onlyEmptyRow ? 1 : rowCount();
    if (!onlyEmptyRow)
        insertRow(row);
    for (int c = 0; c < std::min(columnCount(), static_cast<int>(cells.size())); ++c)
        rows_[row][c] = cells[c];
    changed();
    return row;
}

void RuleList::reset() {
    const Layout& layout = layoutOf(kind_);
    widths_.assign(layout.widths.begin(), layout.widths.begin() + layout.columns);
    rows_.assign(2, std::vector<std::string>(widths_.size()));
    icons_.assign(2, std::nullopt);
    writeHeadings();
}

void RuleList::writeHeadings() {
    const Layout& layout = layoutOf(kind_);
    for (int c = 0; c < std::min(columnCount(), layout.columns); ++c)
        rows_[0][c] = std::string(layout.headings[c]);
    changed();
}

void RuleList::setSize(int columns, int rows) {
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    const Layout& layout = layoutOf(kind_);
    widths_.assign(columns, 64);
    for (int c = 0; c < std::min(columns, layout.columns); ++c)
        widths_[c] = layout.widths[c];
    rows_.assign(rows, std::vector<std::string>(columns));
    icons_.assign(rows, std::nullopt);
    changed();
}

void RuleList::insertColumns(int at, int count) {
    at = std::clamp(at, 0, columnCount());
    const Layout& layout = layoutOf(kind_);
    for (auto& row : rows_)
        row.insert(row.begin() + at, count, std::string());
    for (int i = 0; i < count; ++i) {
        const int c = at + i;
        widths_.insert(widths_.begin() + c, c < layout.columns ? layout.widths[c] : 64);
    }
    changed();
}

void RuleList::truncateColumns(int count) {
    if (count >= columnCount())
        return;
    widths_.resize(count);
    for (auto& row : rows_)
        row.resize(count);
    changed();
}

void RuleList::changed(int column) {
    // Drawn from one counter for all lists, so a list replaced by another never shows a revision
    // a cache has already seen for different content.
    static std::atomic<uint64_t> counter{0};
    if (column != hitsColumn())
        revision_ = ++counter;
}

void CheckGridAdv(RuleList& list, int row, bool deletes) {
    if (row <= 0 || row >= list.rowCount())
        return;
    list.setIcon(row, deletes ? Mark::Delete : Mark::Question);
}

void BumpUpGrid(RuleList& list, int row) {
    const int column = list.hitsColumn();
    const std::string& text = list.cell(column, row);
    long long hits = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), hits);
    if (ec != std::errc() || end != text.data() + text.size() || hits < 0)
        hits = 0;
    list.setCell(column, row, std::to_string(hits + 1));
}

std::optional<int> exceptionIcon(const RuleList& list, int row) {
    const std::string& text = list.cell(ExceptionColumn::IconIndex, row);
    if (text.empty())
        return Mark::FirstException;
    auto value = parseIniInteger(text);
    if (!value)
        return std::nullopt;
    // Only the twelve exception icons are marks an exception may give; anything else (a hand-edited
    // file) falls back to the default rather than pointing past the icon list.
    if (*value < Mark::FirstException || *value > Mark::LastException)
        return Mark::FirstException;
    return static_cast<int>(*value);
}

} // namespace veltrane
