#include "rules/textmatch.h"

#include <algorithm>
#include <array>

namespace veltrane {

namespace {

constexpr char DelimiterChars[] = {'\t', '\'', '\r', '\n', ' ', ',', '.', '/', '?', ';',  ':', '`',
                                   '"',  '<',  '>',  '[',  ']', '{', '}', '-', '=', '\\', '+', '|',
                                   '(',  ')',  '%',  '@',  '&', '^', '$', '#', '!', '~',  '*'};
static_assert(sizeof(DelimiterChars) == 35);

constexpr std::array<bool, 256> makeDelimiterTable() {
    std::array<bool, 256> table{};
    for (char c : DelimiterChars)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}
constexpr std::array<bool, 256> DelimiterTable = makeDelimiterTable();

bool equalFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldChar(x) == FoldChar(y); });
}

bool equalWithCase(std::string_view a, std::string_view b, bool caseSensitive) {
    return caseSensitive ? a == b : equalFolded(a, b);
}

// Position of the first occurrence of pattern in text, folding both when case does not count.
size_t findText(std::string_view text, std::string_view pattern, bool caseSensitive, size_t from = 0) {
    if (caseSensitive)
        return text.find(pattern, from);
    if (pattern.size() > text.size())
        return std::string_view::npos;
    const char first = FoldChar(pattern[0]);
    const char firstOther = (first >= 'A' && first <= 'Z') ? static_cast<char>(first + 32) : first;
    const size_t last = text.size() - pattern.size();
    for (size_t i = from; i <= last; ++i) {
        if (text[i] != first && text[i] != firstOther)
            continue;
        if (equalFolded(text.substr(i + 1, pattern.size() - 1), pattern.substr(1)))
            return i;
    }
    return std::string_view::npos;
}

} // namespace

const std::string_view Delimiters(DelimiterChars, sizeof(DelimiterChars));

char FoldChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = FoldChar(c);
    return out;
}

bool IsDelimiter(char c) {
    return DelimiterTable[static_cast<unsigned char>(c)];
}

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == 8; });
}

bool IsUppercaseText(std::string_view text) {
    return !IsBlank(text) && std::none_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

size_t CountNumeric(std::string_view text) {
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return IsDigitChar(c) || c == '_'; }));
}

std::string StripDigits(std::string_view text) {
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return !IsDigitChar(c); });
    return out;
}

const char* YesNoLetter(bool flag) {
    return flag ? "Y" : "N";
}

const char* PluralSuffix(long long count) {
    return count == 1 ? "" : "s";
}

bool ContainsText(std::string_view text, std::string_view pattern, bool caseSensitive) {
    return !pattern.empty() && findText(text, pattern, caseSensitive) != std::string_view::npos;
}

bool EqualsText(std::string_view text, std::string_view pattern, bool caseSensitive) {
    return equalWithCase(text, pattern, caseSensitive);
}

bool StartsWithText(std::string_view text, std::string_view pattern, bool caseSensitive) {
    return equalWithCase(text.substr(0, pattern.size()), pattern, caseSensitive);
}

bool EndsWithText(std::string_view text, std::string_view pattern, bool caseSensitive) {
    if (text.size() < pattern.size())
        return false;
    return equalWithCase(text.substr(text.size() - pattern.size()), pattern, caseSensitive);
}

// Same result as cutting the text at every delimiter and comparing the pieces with the word,
// without building the pieces: an occurrence counts when delimiters or the text's ends stand on
// both sides of it. A word holding a delimiter can never be a piece, so it never matches.
bool WholeWordCheck(std::string_view text, std::string_view word, bool caseSensitive) {
    if (IsBlank(text) || IsBlank(word))
        return false;
    if (std::any_of(word.begin(), word.end(), IsDelimiter))
        return false;
    for (size_t at = findText(text, word, caseSensitive); at != std::string_view::npos;
         at = findText(text, word, caseSensitive, at + 1)) {
        const bool leftEdge = at == 0 || IsDelimiter(text[at - 1]);
        const size_t end = at + word.size();
        const bool rightEdge = end == text.size() || IsDelimiter(text[end]);
        if (leftEdge && rightEdge)
            return true;
    }
    return false;
}

std::optional<Condition> conditionFromName(std::string_view name) {
    static constexpr std::pair<std::string_view, Condition> Names[] = {
        {ConditionName::Contains, Condition::Contains},
        {ConditionName::ContainsWholeWord, Condition::ContainsWholeWord},
        {ConditionName::Equals, Condition::Equals},
        {ConditionName::StartsWith, Condition::StartsWith},
        {ConditionName::EndsWith, Condition::EndsWith},
        {ConditionName::IsBlank, Condition::IsBlank},
        {ConditionName::IsUppercase, Condition::IsUppercase},
        {ConditionName::AllNumeric, Condition::AllNumeric},
        {ConditionName::HalfNumeric, Condition::HalfNumeric},
        {ConditionName::FirstCharNumeric, Condition::FirstCharNumeric},
    };
    for (const auto& [text, condition] : Names)
        if (text == name)
            return condition;
    return std::nullopt;
}

std::string_view conditionName(Condition condition) {
    switch (condition) {
    case Condition::Contains:
        return ConditionName::Contains;
    case Condition::ContainsWholeWord:
        return ConditionName::ContainsWholeWord;
    case Condition::Equals:
        return ConditionName::Equals;
    case Condition::StartsWith:
        return ConditionName::StartsWith;
    case Condition::EndsWith:
        return ConditionName::EndsWith;
    case Condition::IsBlank:
        return ConditionName::IsBlank;
    case Condition::IsUppercase:
        return ConditionName::IsUppercase;
    case Condition::AllNumeric:
        return ConditionName::AllNumeric;
    case Condition::HalfNumeric:
        return ConditionName::HalfNumeric;
    case Condition::FirstCharNumeric:
        return ConditionName::FirstCharNumeric;
    }
    return {};
}

bool conditionHolds(Condition condition, std::string_view text, std::string_view pattern, bool caseSensitive) {
    switch (condition) {
    case Condition::Contains:
        return ContainsText(text, pattern, caseSensitive);
    case Condition::ContainsWholeWord:
        return WholeWordCheck(text, pattern, caseSensitive);
    case Condition::Equals:
        return EqualsText(text, pattern, caseSensitive);
    case Condition::StartsWith:
        return StartsWithText(text, pattern, caseSensitive);
    case Condition::EndsWith:
        return EndsWithText(text, pattern, caseSensitive);
    case Condition::IsBlank:
        return IsBlank(text);
    case Condition::IsUppercase:
        return IsUppercaseText(text);
    case Condition::AllNumeric:
        return CountNumeric(text) == text.size();
    case Condition::HalfNumeric:
        return CountNumeric(text) >= text.size() / 2;
    case Condition::FirstCharNumeric:
        return !text.empty() && IsDigitChar(text[0]);
    }
    return false;
}

bool conditionIgnoresPattern(Condition condition) {
    return condition >= Condition::IsBlank;
}

} // namespace veltrane
