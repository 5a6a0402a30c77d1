#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

// Texts are bytes; positions and lengths count bytes. Case folding touches only a to z.

// The 35 characters that cut a text into words for the whole-word match, in their fixed order.
extern const std::string_view Delimiters;

char FoldChar(char c);
std::string FoldCase(std::string_view text);
bool IsDelimiter(char c);
bool IsDigitChar(char c);

bool IsBlank(std::string_view text);
bool IsUppercaseText(std::string_view text);
size_t CountNumeric(std::string_view text);
std::string StripDigits(std::string_view text);
const char* YesNoLetter(bool flag);
const char* PluralSuffix(long long count);

bool ContainsText(std::string_view text, std::string_view pattern, bool caseSensitive);
bool EqualsText(std::string_view text, std::string_view pattern, bool caseSensitive);
bool StartsWithText(std::string_view text, std::string_view pattern, bool caseSensitive);
bool EndsWithText(std::string_view text, std::string_view pattern, bool caseSensitive);
bool WholeWordCheck(std::string_view text, std::string_view word, bool caseSensitive);

// The conditions a rule can name, with their stored texts.
enum class Condition {
    Contains,
    ContainsWholeWord,
    Equals,
    StartsWith,
    EndsWith,
    IsBlank,
    IsUppercase,
    AllNumeric,
    HalfNumeric,
    FirstCharNumeric,
};

// Stored condition names, compared exactly (case included).
namespace ConditionName {
inline constexpr std::string_view Contains = "Contains";
inline constexpr std::string_view ContainsWholeWord = "Contains (whole word)";
inline constexpr std::string_view Equals = "Equals";
inline constexpr std::string_view StartsWith = "Starts with";
inline constexpr std::string_view EndsWith = "Ends with";
inline constexpr std::string_view IsBlank = "Is blank";
inline constexpr std::string_view IsUppercase = "Is UPPERCASE";
inline constexpr std::string_view AllNumeric = "All numeric";
inline constexpr std::string_view HalfNumeric = "50% numeric";
inline constexpr std::string_view FirstCharNumeric = "First char numeric";
} // namespace ConditionName

std::optional<Condition> conditionFromName(std::string_view name);
std::string_view conditionName(Condition condition);

// Whether the condition holds for the text; the pattern and the case flag are ignored by the
// conditions that do not use them.
bool conditionHolds(Condition condition, std::string_view text, std::string_view pattern, bool caseSensitive);

// True for the conditions that use no pattern ("Is blank" and every condition after it).
bool conditionIgnoresPattern(Condition condition);

} // namespace veltrane
