#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

enum class RuleListKind { Subject, Header, Sender, Exception };

// The cell vocabulary every part of the program compares against, character for character.
namespace RuleText {
inline constexpr std::string_view Yes = "Yes";
inline constexpr std::string_view No = "No";
inline constexpr std::string_view EmailAddress = "E-mail address";
inline constexpr std::string_view DomainName = "Domain name";
inline constexpr std::string_view Subject = "Subject";
inline constexpr std::string_view SubjectField = "Subject:";
inline constexpr std::string_view CcField = "CC:";
inline constexpr std::string_view ReplyToField = "Reply-To:";
inline constexpr std::string_view ToField = "To:";
inline constexpr std::string_view AnyHeader = "Any Header";
inline constexpr std::string_view Sender = "Sender";
inline constexpr std::string_view ToDoesNotContain = "To does not contain";
inline constexpr std::string_view DoesNotMatchReplyTo = "does not match Reply-to";
inline constexpr std::string_view EqualsToField = "equals To field";
inline constexpr std::string_view MailboxSeparator = " - MailBox #";
} // namespace RuleText

// Column positions of the four layouts.
namespace SubjectColumn { // also the header list
enum : int { Icon = 0, What = 1, Matches = 2, Case = 3, Delete = 4, Hits = 5, Count = 6 };
}
namespace SenderColumn {
enum : int { Icon = 0, What = 1, Condition = 2, Matches = 3, Delete = 4, Hits = 5, Count = 6 };
}
namespace ExceptionColumn {
enum : int { What = 0, Condition = 1, Matches = 2, Case = 3, Hits = 4, Icon = 5, IconIndex = 6, Count = 7 };
}

// A rule list: an ordered table of text cells whose row 0 holds the headings, with a display
// width per column and an icon per row. It never has fewer than two rows: a list without rules
// holds one empty data row.
class RuleList {
public:
    explicit RuleList(RuleListKind kind);

    RuleListKind kind() const { return kind_; }
    int columnCount() const { return static_cast<int>(widths_.size()); }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    // The layout's number of columns, the hidden one of the exception list included.
    int layoutColumnCount() const;
    int hitsColumn() const;
    int deleteColumn() const; // -1 for the exception list

    // An absent cell (outside the table) reads as the empty text; writes outside are ignored.
    const std::string& cell(int column, int row) const;
    void setCell(int column, int row, std::string text);
    bool flag(int column, int row) const { return cell(column, row) == RuleText::Yes; }

    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);

    std::optional<int> icon(int row) const;
    void setIcon(int row, std::optional<int> icon);

    void insertRow(int before);
    void removeRow(int row);
    void clearRow(int row);
    void moveRow(int from, int to);
    // Appends a rule, filling the empty data row of a list without rules instead of adding one.
    int addRule(const std::vector<std::string>& cells);

    // Back to the headings and one empty data row.
    void reset();
    void writeHeadings();
    // Discards the content and sets the table to the given size with empty cells.
    void setSize(int columns, int rows);
    void insertColumns(int at, int count);
    void truncateColumns(int count);

    // Changes whenever anything but a hit count changes, so derived data can be cached.
    uint64_t revision() const { return revision_; }

    bool operator==(const RuleList& other) const {
        return kind_ == other.kind_ && rows_ == other.rows_ && widths_ == other.widths_ && icons_ == other.icons_;
    }

private:
    void changed(int column = -1);
    bool validRow(int row) const { return row >= 0 && row < rowCount(); }

    RuleListKind kind_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<int> widths_;
    std::vector<std::optional<int>> icons_;
    uint64_t revision_ = 0;
};

// Sets the icon of a subject, sender or header rule: 0 (delete) or 1 (question).
void CheckGridAdv(RuleList& list, int row, bool deletes);
// Adds one to the row's hit count; a count that is not a number counts as 0.
void BumpUpGrid(RuleList& list, int row);

// The icon of an exception row: its hidden column as a number, 3 when empty. Nothing when the
// text is not a whole number.
std::optional<int> exceptionIcon(const RuleList& list, int row);

} // namespace veltrane
