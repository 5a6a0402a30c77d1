#include "rules/textmatch.h"
#include "support/paramname.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

struct ConditionCase {
    const char* name;
    const char* condition;
    std::string text;
    std::string pattern;
    bool caseSensitive;
    bool expected;
};

class ConditionTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionTest, Holds) {
    const ConditionCase& c = GetParam();
    const auto condition = conditionFromName(c.condition);
    ASSERT_TRUE(condition.has_value());
    EXPECT_EQ(conditionHolds(*condition, c.text, c.pattern, c.caseSensitive), c.expected);
    EXPECT_EQ(conditionName(*condition), c.condition);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, ConditionTest,
    ::testing::Values(
        ConditionCase{"ContainsFolded", "Contains", "Get it free now", "FREE", false, true},
        ConditionCase{"ContainsCaseTold", "Contains", "Get it free now", "FREE", true, false},
        ConditionCase{"ContainsEmptyPatternNever", "Contains", "anything", "", false, false},
        ConditionCase{"ContainsAccentsNotFolded", "Contains", "caf\xC9", "caf\xE9", false, false},
        ConditionCase{"EqualsFolded", "Equals", "Hello", "hELLO", false, true},
        ConditionCase{"EqualsEmptyOnlyEmpty", "Equals", "", "", true, true},
        ConditionCase{"EqualsEmptyPatternText", "Equals", "x", "", true, false},
        ConditionCase{"StartsEmptyPatternAlways", "Starts with", "abc", "", true, true},
        ConditionCase{"StartsShorterText", "Starts with", "ab", "abc", false, false},
        ConditionCase{"StartsFolded", "Starts with", "Make money", "MAKE", false, true},
        ConditionCase{"EndsEmptyPatternAlways", "Ends with", "abc", "", true, true},
        ConditionCase{"EndsFolded", "Ends with", "spam.RU", ".ru", false, true},
        ConditionCase{"EndsShorterText", "Ends with", "u", ".ru", false, false},
        ConditionCase{"WholeWordBang", "Contains (whole word)", "free!!!", "free", false, true},
        ConditionCase{"WholeWordInsideWord", "Contains (whole word)", "freedom", "free", false, false},
        ConditionCase{"WholeWordHyphen", "Contains (whole word)", "Free-trial", "free", false, true},
        ConditionCase{"WholeWordLaterOccurrence", "Contains (whole word)", "freedom is free", "free", false, true},
        ConditionCase{"WholeWordTwoWordsNever", "Contains (whole word)", "bulk mail here", "bulk mail", false, false},
        ConditionCase{"WholeWordBlankText", "Contains (whole word)", "   ", " ", false, false},
        ConditionCase{"WholeWordCaseTold", "Contains (whole word)", "FREE offer", "free", true, false},
        ConditionCase{"WholeWordUnderscoreJoins", "Contains (whole word)", "free_offer", "free", false, false},
        ConditionCase{"WholeWordHighBytesJoin", "Contains (whole word)",
                      "\xE9"
                      "free",
                      "free", false, false},
        ConditionCase{"BlankTabIsNot", "Is blank", "\t", "", false, false},
        ConditionCase{"BlankSpaceCrLf", "Is blank", " \r\n\b", "", false, true},
        ConditionCase{"BlankEmpty", "Is blank", "", "", false, true},
        ConditionCase{"UpperShout", "Is UPPERCASE", "MAKE $$$ FAST", "", false, true},
        ConditionCase{"UpperMixed", "Is UPPERCASE", "Make money", "", false, false},
        ConditionCase{"UpperBlank", "Is UPPERCASE", "   ", "", false, false},
        ConditionCase{"UpperDigits", "Is UPPERCASE", "123", "", false, true},
        ConditionCase{"AllNumericUnderscore", "All numeric", "12_34", "", false, true},
        ConditionCase{"AllNumericEmpty", "All numeric", "", "", false, true},
        ConditionCase{"AllNumericLetter", "All numeric", "12a", "", false, false},
        ConditionCase{"HalfNumericFour", "50% numeric", "ab12", "", false, true},
        ConditionCase{"HalfNumericFiveRoundsDown", "50% numeric", "abc12", "", false, true},
        ConditionCase{"HalfNumericTooFew", "50% numeric", "abcd1", "", false, false},
        ConditionCase{"HalfNumericEmpty", "50% numeric", "", "", false, true},
        ConditionCase{"FirstCharUnderscore", "First char numeric", "_1abc", "", false, false},
        ConditionCase{"FirstCharDigit", "First char numeric", "1abc", "", false, true},
        ConditionCase{"FirstCharEmpty", "First char numeric", "", "", false, false}),
    test::ParamName());

TEST(Conditions, UnknownNamesAreNotConditions) {
    EXPECT_FALSE(conditionFromName("contains").has_value());
    EXPECT_FALSE(conditionFromName("Contains ").has_value());
    EXPECT_FALSE(conditionFromName("").has_value());
}

TEST(TextFunctions, DelimitersAreTheFixedThirtyFive) {
    EXPECT_EQ(Delimiters, std::string_view("\t'\r\n ,./?;:`\"<>[]{}-=\\+|()%@&^$#!~*"));
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        EXPECT_EQ(IsDelimiter(ch), Delimiters.find(ch) != std::string_view::npos) << c;
    }
}

TEST(TextFunctions, SmallHelpers) {
    EXPECT_EQ(FoldCase("abz AZ \xE9\xFF_1"), "ABZ AZ \xE9\xFF_1");
    EXPECT_EQ(StripDigits("a1b2c3"), "abc");
    EXPECT_EQ(CountNumeric("a_1 2"), 3u);
    EXPECT_STREQ(YesNoLetter(true), "Y");
    EXPECT_STREQ(YesNoLetter(false), "N");
    EXPECT_STREQ(PluralSuffix(1), "");
    EXPECT_STREQ(PluralSuffix(0), "s");
    EXPECT_STREQ(PluralSuffix(2), "s");
}

} // namespace
} // namespace veltrane
