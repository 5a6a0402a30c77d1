#include "activity/activitylog.h"
#include "activity/logreader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

const QDateTime Moment(QDate(1999, 1, 5), QTime(15, 45, 12));

class ActivityLogTest : public ::testing::Test {
protected:
    std::string contents() const {
        QFile f(logFile);
        if (!f.open(QIODevice::ReadOnly))
            return "<no file>";
        return f.readAll().toStdString();
    }
    ParsedLog parsed() const {
        QFile f(logFile);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return parseLog(f, clock);
    }

    QTemporaryDir dir;
    QString logFile = dir.filePath("logfile.txt");
    FixedClock clock{Moment};
    ActivityLog log{[this] { return logFile; }, clock};
};

TEST(LogTimeStampTest, DayNameShortDateWithFourDigitYearAndShortTime) {
    EXPECT_EQ(LogTimeStamp(Moment), "Tue 1/5/1999 3:45 PM");
    EXPECT_EQ(LogTimeStamp(QDateTime(QDate(2024, 12, 31), QTime(0, 5))), "Tue 12/31/2024 12:05 AM");
}

TEST_F(ActivityLogTest, EachRecordHasItsExactText) {
    log.WriteMailCheck(0, "alice", "pop.example.com");
    log.WriteMailCheck(17, "bob@example.org", "pop3s://mail.example.org:995");
    log.WriteCanceled("alice", "pop.example.com");
    log.WriteError("Connection refused", "alice", "pop.example.com");
    log.WriteAutomaticMode(true);
    log.WriteAutomaticMode(true);
    log.WriteAutomaticMode(false);
    EXPECT_EQ(contents(), "MAIL CHECK 0 msg(s) for \"alice\" on server pop.example.com at Tue 1/5/1999 3:45 PM\r\n"
                          "MAIL CHECK 17 msg(s) for \"bob@example.org\" on server pop3s://mail.example.org:995 at "
                          "Tue 1/5/1999 3:45 PM\r\n"
                          "OPERATION CANCELED FOR alice ON pop.example.com AT Tue 1/5/1999 3:45 PM\r\n"
                          "ERROR Connection refused FOR alice ON pop.example.com AT Tue 1/5/1999 3:45 PM\r\n"
                          "Automatic mode enabled at Tue 1/5/1999 3:45 PM\r\n"
                          "Automatic mode enabled at Tue 1/5/1999 3:45 PM\r\n"
                          "Automatic mode disabled at Tue 1/5/1999 3:45 PM\r\n");
    EXPECT_FALSE(log.isOpen());
}

TEST_F(ActivityLogTest, ADeletionRunWritesOneBlockPerMessageWhileOpen) {
    log.WriteDeletedSpam("pop.example.com", "alice", "Win", "x@y.z", "1", "1/1/1999"); // not open: nothing
    EXPECT_EQ(contents(), "<no file>");

    log.OpenLogFile();
    for (int i = 1; i <= 3; ++i) {
        clock.set(Moment.addSecs(60 * i));
        log.WriteDeletedSpam("pop.example.com", "alice", "Cheap pills " + std::to_string(i), "Spam@Example.COM",
                             std::to_string(1000 * i), "1/4/1999 11:02:03 PM");
    }
    log.CloseLogFile();
    const std::string block1 = "DELETE SPAM on Tue 1/5/1999 3:46 PM\r\n"
                               "   Server:  pop.example.com Mailbox: alice\r\n"
                               "   Subject: Cheap pills 1\r\n"
                               "   Sender:  Spam@Example.COM\r\n"
                               "   Size:    1000  Date: 1/4/1999 11:02:03 PM\r\n";
    const std::string all = contents();
    EXPECT_EQ(all.substr(0, block1.size()), block1);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 15);
    EXPECT_NE(all.find("DELETE SPAM on Tue 1/5/1999 3:48 PM\r\n"), std::string::npos);
    EXPECT_EQ(all.substr(all.size() - 2), "\r\n"); // and nothing after the last block
}

TEST_F(ActivityLogTest, WriterAndReaderAgreeFieldByField) {
    log.WriteMailCheck(12, "alice.b", "pop.example.com:1110");
    log.WriteMailCheck(0, "Bob", "mail.example.org");
    log.WriteAutomaticMode(true);
    log.OpenLogFile();
    clock.set(QDateTime(QDate(2003, 11, 30), QTime(9, 7)));
    log.WriteDeletedSpam("pop.example.com:1110", "alice.b", "Buy now", "Offers@Mail.Example.NET", "48213",
                         "11/29/2003 10:00:00 PM");
    log.WriteDeletedSpam("pop.example.com", "mary jane smith", "x", "no-at-sign", "7", "");
    log.CloseLogFile();
    log.WriteError("Timeout", "alice.b", "pop.example.com");

    const ParsedLog read = parsed();
    ASSERT_EQ(read.checks.size(), 2u);
    EXPECT_EQ(read.checks[0], (CheckRecord{"12", "alice.b", "pop.example.com:1110", "1/5/1999", "3:45 PM"}));
    EXPECT_EQ(read.checks[1], (CheckRecord{"0", "Bob", "mail.example.org", "1/5/1999", "3:45 PM"}));
    ASSERT_EQ(read.deletions.size(), 2u);
    EXPECT_EQ(read.deletions[0], (DeletionRecord{"alice.b", "pop.example.com:1110", "11/30/2003", "9:07 AM", "48213",
                                                 "offers@mail.example.net", "mail.example.net"}));
    EXPECT_EQ(read.deletions[1],
              (DeletionRecord{"mary jane smith", "pop.example.com", "11/30/2003", "9:07 AM", "7", "no-at-sign", ""}));
}

TEST_F(ActivityLogTest, ControlBytesInValuesCannotForgeOrSplitRecords) {
    const std::string forged = "MAIL CHECK 99 msg(s) for \"evil\" on server evil.example at Tue 1/5/1999 3:45 PM";
    log.OpenLogFile();
    log.WriteDeletedSpam("pop.example.com", "alice", "Hello\r\n" + forged + "\r\nDELETE SPAM on x\n\x1b[2J\t\x7f",
                         "a@b.c\rd", "100", "1/1/1999");
    log.WriteDeletedSpam("pop.example.com", "alice", "second", "c@d.e", "200", "1/1/1999");
    log.CloseLogFile();
    log.WriteMailCheck(3, "user\nERROR x", "pop\r\n.example");

    const std::string all = contents();
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 11);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\r'), 11);
    EXPECT_EQ(all.find('\x1b'), std::string::npos);
    EXPECT_NE(all.find("   Subject: Hello  " + forged + "  DELETE SPAM on x  [2J  \r\n"), std::string::npos);

    const ParsedLog read = parsed();
    ASSERT_EQ(read.deletions.size(), 2u);
    EXPECT_EQ(read.deletions[0].sender, "a@b.c d");
    EXPECT_EQ(read.deletions[1].size, "200");
    ASSERT_EQ(read.checks.size(), 1u) << all;
    EXPECT_EQ(read.checks[0].mailbox, "user ERROR x");
    EXPECT_EQ(read.checks[0].server, "pop");
}

TEST_F(ActivityLogTest, NewRecordsFollowOldContent) {
    QFile f(logFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old line\r\n");
    f.close();
    log.WriteAutomaticMode(false);
    EXPECT_EQ(contents(), "old line\r\nAutomatic mode disabled at Tue 1/5/1999 3:45 PM\r\n");
}

TEST_F(ActivityLogTest, ABlankNameLogsNothing) {
    for (const QString& blank : {QString(), QString("   "), QString(" \r\n\b ")}) {
        logFile = blank;
        log.OpenLogFile();
        EXPECT_FALSE(log.isOpen());
        log.WriteMailCheck(1, "a", "b");
        log.WriteDeletedSpam("a", "b", "c", "d", "1", "e");
        log.CloseLogFile();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ActivityLogTest, AFileThatCannotBeOpenedLosesItsLinesQuietly) {
    logFile = dir.filePath("missing/folder/log.txt");
    log.OpenLogFile();
    EXPECT_TRUE(log.isOpen()); // counts as open until closed
    log.WriteDeletedSpam("a", "b", "c", "d", "1", "e");
    log.CloseLogFile();
    EXPECT_FALSE(log.isOpen());
    log.WriteMailCheck(1, "a", "b");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

TEST_F(ActivityLogTest, AFileDeletedBetweenRecordsIsMadeAgain) {
    log.WriteMailCheck(1, "a", "b");
    ASSERT_TRUE(QFile::remove(logFile));
    log.WriteMailCheck(2, "a", "b");
    EXPECT_EQ(contents(), "MAIL CHECK 2 msg(s) for \"a\" on server b at Tue 1/5/1999 3:45 PM\r\n");
}

TEST_F(ActivityLogTest, TheNameIsTakenAfreshAtEachOpening) {
    log.WriteMailCheck(1, "a", "b");
    const QString first = logFile;
    logFile = dir.filePath("Q1_99.txt");
    log.WriteMailCheck(2, "a", "b");
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_EQ(contents(), "MAIL CHECK 2 msg(s) for \"a\" on server b at Tue 1/5/1999 3:45 PM\r\n");
}

TEST_F(ActivityLogTest, AnErrorDuringADeletionRunClosesTheSink) {
    log.OpenLogFile();
    log.WriteDeletedSpam("s", "u", "one", "a@b", "1", "d");
    log.WriteError("Connection reset", "u", "s");
    EXPECT_FALSE(log.isOpen());
    log.WriteDeletedSpam("s", "u", "two", "a@b", "1", "d"); // lost
    log.CloseLogFile();
    const ParsedLog read = parsed();
    EXPECT_EQ(read.deletions.size(), 1u);
    EXPECT_EQ(contents().find("two"), std::string::npos);
}

} // namespace
} // namespace veltrane
