#include "message/headers.h"
#include "support/paramname.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

struct HeaderCase {
    const char* name;
    HeaderLines lines;
    const char* field;
    std::string expected;
};

class GetHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(GetHeaderTest, ReadsValue) {
    const HeaderCase& c = GetParam();
    EXPECT_EQ(GetHeader(c.lines, c.field), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, GetHeaderTest,
    ::testing::Values(
        HeaderCase{"Plain", {"From: a@b.c", "Subject: Hello there"}, "Subject", "Hello there"},
        HeaderCase{"NameWithColon", {"Subject: Hi"}, "Subject:", "Hi"},
        HeaderCase{"CapitalsFound", {"SUBJECT: shout"}, "Subject", "shout"},
        HeaderCase{"LongerNameNotFound", {"Subjects: no"}, "Subject", ""},
        HeaderCase{"Absent", {"From: a@b.c"}, "Subject", ""},
        HeaderCase{"FirstOfTwo", {"Received: one", "Received: two"}, "Received", "one"},
        HeaderCase{"NoSpaceAfterColon", {"Subject:Hello"}, "Subject", "Hello"},
        HeaderCase{"TrimmedBothEnds", {"Subject: \t padded \t "}, "Subject", "padded"},
        HeaderCase{
            "FoldedWithTab", {"Subject: first part", "\tsecond part", "To: x"}, "Subject", "first part second part"},
        HeaderCase{"FoldedWithSpaces", {"Subject: a", "   b", " c"}, "Subject", "a b c"},
        HeaderCase{"QEncoded", {"Subject: =?iso-8859-1?Q?Caf=E9_au_lait?="}, "Subject", "Caf\xE9 au lait"},
        HeaderCase{"BEncoded", {"Subject: =?utf-8?B?SGVsbG8gV29ybGQ=?="}, "Subject", "Hello World"},
        HeaderCase{"CharsetNotConverted", {"Subject: =?utf-8?B?w6k=?="}, "Subject", "\xC3\xA9"},
        HeaderCase{"LowerCaseMarker", {"Subject: =?utf-8?q?a=3Db?="}, "Subject", "a=b"},
        HeaderCase{"TextAroundWord", {"Subject: Re: =?x?Q?big?= deal"}, "Subject", "Re: big deal"},
        HeaderCase{"AdjacentWordsJoin", {"Subject: =?x?Q?ab?= =?x?Q?cd?="}, "Subject", "abcd"},
        HeaderCase{"UnderscoresEverywhereOnceDecoded", {"Subject: my_file =?x?Q?a_b?="}, "Subject", "my file a b"},
        HeaderCase{"UnderscoresKeptWithoutEncodedWord", {"Subject: my_file"}, "Subject", "my_file"},
        HeaderCase{"UnterminatedEndsValue", {"Subject: Buy =?x?Q?now"}, "Subject", "Buy "},
        HeaderCase{"UnknownEncodingEndsValue", {"Subject: a =?x?X?b?= c"}, "Subject", "a "},
        HeaderCase{"QEndMarkerRightAfterQIsText", {"Subject: =?x?Q?=3F?="}, "Subject", "?"}),
    test::ParamName());

TEST(GetHeader, CutsTo255BeforeDecoding) {
    EXPECT_EQ(GetHeader({"Subject: " + std::string(300, 'x')}, "Subject"), std::string(255, 'x'));
    // The cut lands inside the encoded word, which then no longer ends: the value stops before it.
    const std::string value = std::string(250, 'a') + "=?x?Q?bcdef?=";
    EXPECT_EQ(GetHeader({"Subject: " + value}, "Subject"), std::string(250, 'a'));
}

TEST(GetHeader, KeepsEightBitBytes) {
    EXPECT_EQ(GetHeader({"Subject: \xE9t\xE9"}, "Subject"), "\xE9t\xE9");
}

struct AddressCase {
    const char* name;
    const char* text;
    const char* address;
    const char* displayName;
};

class SplitAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SplitAddressTest, Splits) {
    const auto r = SplitAddress(GetParam().text);
    EXPECT_EQ(r.address, GetParam().address);
    EXPECT_EQ(r.name, GetParam().displayName);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SplitAddressTest,
    ::testing::Values(AddressCase{"AngleBrackets", "\"John Doe\" <john@doe.com>", "john@doe.com", "John Doe"},
                      AddressCase{"AngleBracketsOnly", "<x@y.z>", "x@y.z", ""},
                      AddressCase{"NameAfter", "<x@y.z> Someone", "x@y.z", "Someone"},
                      AddressCase{"NoClosingBracket", "Bob <bob@x.org", "", "Bob <bob@x.org"},
                      AddressCase{"ClosingBeforeOpening", "a>b <c@d.e", "", "a>b <c@d.e"},
                      AddressCase{"Parenthesis", "jane@x.org (Jane Roe)", "jane@x.org", "Jane Roe"},
                      AddressCase{"Bare", "plain@x.org", "plain@x.org", ""}, AddressCase{"Empty", "", "", ""}),
    test::ParamName());

TEST(SplitAddress, CutsPartsTo255) {
    const auto r = SplitAddress("<" + std::string(300, 'a') + ">");
    EXPECT_EQ(r.address.size(), 255u);
}

struct DateCase {
    const char* name;
    const char* text;
    QDateTime expected; // invalid: no date
    const char* zone;
};

class ParseMailDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(ParseMailDateTest, Parses) {
    const auto r = ParseMailDate(GetParam().text);
    EXPECT_EQ(r.dateTime, GetParam().expected);
    EXPECT_EQ(r.zone, GetParam().zone);
}

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ParseMailDateTest,
    ::testing::Values(DateCase{"Full", "Tue, 9 Mar 1999 10:20:30 +0100", at(1999, 3, 9, 10, 20, 30), "+0100"},
                      DateCase{"NoDayName", "9 Mar 1999 10:20:30 -0500 (EST)", at(1999, 3, 9, 10, 20, 30),
                               "-0500 (EST)"},
                      DateCase{"Quoted", "\"Wed, 1 Dec 2021 23:59:00 GMT\"", at(2021, 12, 1, 23, 59), "GMT"},
                      DateCase{"TwoDigit99", "1 Jan 99 01:02:03", at(1999, 1, 1, 1, 2, 3), ""},
                      DateCase{"TwoDigit50", "1 Jan 50 01:02:03", at(2050, 1, 1, 1, 2, 3), ""},
                      DateCase{"TwoDigit51", "1 Jan 51 01:02:03", at(1951, 1, 1, 1, 2, 3), ""},
                      DateCase{"CommaAfterYear", "Mon, 3 May 2004, 08:00 +0000", at(2004, 5, 3, 8, 0), "+0000"},
                      DateCase{"BadTimeIsMidnight", "3 May 2004 xx:yy +0000", at(2004, 5, 3), "+0000"},
                      DateCase{"NoTime", "3 May 2004", at(2004, 5, 3), ""},
                      DateCase{"LowerCaseMonth", "3 may 2004 12:00:00", at(2004, 5, 3, 12), ""},
                      DateCase{"NoMonth", "3 Foo 2004 12:00:00", QDateTime(), ""},
                      DateCase{"ImpossibleDay", "31 Feb 2004 12:00:00", QDateTime(), ""},
                      DateCase{"Empty", "", QDateTime(), ""}, DateCase{"Garbage", "yesterday", QDateTime(), ""},
                      DateCase{"HugeNumbers", "99999999999999 Jan 99999999999999 1:2:3", QDateTime(), ""}),
    test::ParamName());

} // namespace
} // namespace veltrane
