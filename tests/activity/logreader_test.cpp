#include "activity/logreader.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

const FixedClock Clock1999{QDateTime(QDate(1999, 1, 5), QTime(15, 45, 12))};

// ParseLogLine over a whole text, as the statistics read a file.
ParsedLog parseText(const std::string& text) {
    QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return parseLog(buffer, Clock1999);
}

ParsedLogLine parseOne(const std::string& line, std::vector<std::string> following = {}) {
    size_t next = 0;
    return ParseLogLine(
        line,
        [&]() -> std::optional<std::string> {
            if (next >= following.size())
                return std::nullopt;
            return following[next++];
        },
        Clock1999);
}

TEST(LogReaderTest, CheckLines) {
    struct {
        const char* line;
        CheckRecord expected;
    } const cases[] = {
        {"MAIL CHECK 4 msg(s) for \"al ice\" on server pop.x at Tue 1/5/1999 3:45 PM",
         {"4", "al ice", "pop.x", "1/5/1999", "3:45 PM"}},
        // Markers that do not occur leave their fields empty; a token without its delimiter runs to
        // the end of the line.
        {"MAIL CHECK 5", {"5", "", "", "", "CHECK 5"}},
        {"MAIL CHECK 7 msg(s) for \"unclosed", {"7", "unclosed", "", "", "for \"unclosed"}},
        // Holding both markers, a line is a check.
        {"MAIL CHECK 2 msg(s) for \"DELETE SPAM\" on server s at Wed 2/3/2000 1:02 AM",
         {"2", "DELETE SPAM", "s", "2/3/2000", "1:02 AM"}},
        {"MAIL CHECK ", {"", "", "", "", "CHECK"}},
    };
    for (const auto& c : cases) {
        const ParsedLogLine parsed = parseOne(c.line);
        ASSERT_EQ(parsed.kind, ParsedLogLine::Kind::Check) << c.line;
        EXPECT_EQ(parsed.check, c.expected) << c.line;
    }
}

TEST(LogReaderTest, ACheckWithoutACountIsNotKeptButNamesItsMailbox) {
    const ParsedLogLine parsed = parseOne("MAIL CHECK  msg(s) for \"zed\" on server s at Tue 1/5/1999 3:45 PM");
    EXPECT_FALSE(parsed.check.kept());
    EXPECT_EQ(parsed.check.mailbox, "zed");
    EXPECT_TRUE(parseText("MAIL CHECK  msg(s) for \"zed\"\r\n").checks.empty());
}

TEST(LogReaderTest, DeletionBlocks) {
    const ParsedLogLine full = parseOne("DELETE SPAM on Tue 1/5/1999 3:45 PM",
                                        {"   Server:  pop.x Mailbox: Mary Jane", "   Subject: MAIL CHECK 9 msg(s)",
                                         "   Sender:  Info@Deals.EXAMPLE", "   Size:    2048  Date: 1/4/1999"});
    EXPECT_EQ(full.kind, ParsedLogLine::Kind::Deletion);
    EXPECT_EQ(full.deletion, (DeletionRecord{"Mary Jane", "pop.x", "1/5/1999", "3:45 PM", "2048", "info@deals.example",
                                             "deals.example"}));

    // Cut short by the end of the file: what is missing stays empty.
    const ParsedLogLine cut = parseOne("DELETE SPAM on Tue 1/5/1999 3:45 PM", {"   Server:  pop.x Mailbox: m"});
    EXPECT_EQ(cut.deletion, (DeletionRecord{"m", "pop.x", "1/5/1999", "3:45 PM", "", "", ""}));

    // Fewer than two blanks: the time is the clock's, in the long time format.
    EXPECT_EQ(parseOne("DELETE SPAM").deletion, (DeletionRecord{"", "", "", "3:45:12 PM", "", "", ""}));

    // Long values are cut at 255 characters.
    const std::string longName(300, 'n');
    const ParsedLogLine longOne =
        parseOne("DELETE SPAM on Tue 1/5/1999 3:45 PM",
                 {"   Server:  s Mailbox: " + longName, "   Subject: x", "   Sender:  a@" + longName, "   Size:    1"});
    EXPECT_EQ(longOne.deletion.mailbox, std::string(255, 'n'));
    EXPECT_EQ(longOne.deletion.sender, "a@" + std::string(253, 'n'));
    EXPECT_EQ(longOne.deletion.domain, std::string(253, 'n'));
}

TEST(LogReaderTest, OtherLinesAreSkipped) {
    for (const char* line : {"ERROR Timeout FOR a ON b AT Tue 1/5/1999 3:45 PM", "OPERATION CANCELED FOR a ON b AT x",
                             "Automatic mode enabled at Tue 1/5/1999 3:45 PM", "", "mail check 1 msg(s)"})
        EXPECT_EQ(parseOne(line).kind, ParsedLogLine::Kind::Other) << line;
}

TEST(LogReaderTest, AWholeLogInFileOrder) {
    const ParsedLog log = parseText("Automatic mode enabled at Tue 1/5/1999 3:45 PM\r\n"
                                    "MAIL CHECK 2 msg(s) for \"a\" on server s at Tue 1/5/1999 3:45 PM\r\n"
                                    "DELETE SPAM on Tue 1/5/1999 3:46 PM\r\n"
                                    "   Server:  s Mailbox: a\r\n"
                                    "   Subject: MAIL CHECK 99 msg(s) for \"forged\"\r\n"
                                    "   Sender:  x@y\r\n"
                                    "   Size:    10  Date: d\r\n"
                                    "MAIL CHECK 1 msg(s) for \"b\" on server t at Tue 1/5/1999 3:47 PM\n" // bare LF
                                    "DELETE SPAM on Tue 1/5/1999 3:48 PM\r\n"
                                    "   Server:  t Mailbox: b"); // no final line end, block cut short
    ASSERT_EQ(log.checks.size(), 2u);
    EXPECT_EQ(log.checks[0].mailbox, "a");
    EXPECT_EQ(log.checks[1], (CheckRecord{"1", "b", "t", "1/5/1999", "3:47 PM"}));
    ASSERT_EQ(log.deletions.size(), 2u);
    EXPECT_EQ(log.deletions[0].size, "10");
    EXPECT_EQ(log.deletions[1], (DeletionRecord{"b", "t", "1/5/1999", "3:48 PM", "", "", ""}));
}

TEST(LogReaderTest, AnOverlongLineIsCutAndTheNextReadInStep) {
    const std::string huge = "MAIL CHECK 3 msg(s) for \"" + std::string(200000, 'x') + "\" on server s at T\r\n";
    const ParsedLog log = parseText(huge + "MAIL CHECK 4 msg(s) for \"b\" on server t at Tue 1/5/1999 3:47 PM\r\n");
    ASSERT_EQ(log.checks.size(), 2u);
    EXPECT_EQ(log.checks[0].count, "3");
    EXPECT_EQ(log.checks[0].mailbox.size(), static_cast<size_t>(LogLineReader::MaxLogLine) - 25);
    EXPECT_EQ(log.checks[1].mailbox, "b");
}

} // namespace
} // namespace veltrane
