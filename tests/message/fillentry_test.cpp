#include "message/datetext.h"
#include "message/headers.h"
#include "message/messageentry.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

TEST(DateText, ForcesFourDigitYears) {
    EXPECT_EQ(fix2000("M/d/yy").toStdString(), "M/d/yyyy");
    EXPECT_EQ(fix2000("dd.MM.yyyy").toStdString(), "dd.MM.yyyy");
    EXPECT_EQ(fix2000("yy-MM-dd").toStdString(), "yyyy-MM-dd");
    EXPECT_EQ(fix2000("d MMM").toStdString(), "d MMM");
}

TEST(DateText, LeavesTimeOutAtMidnightAndNamesNoZone) {
    // The locale is pinned to English (United States) by the test main.
    EXPECT_EQ(dateTimeText(QDateTime(QDate(1999, 3, 9), QTime(10, 20, 30))).toStdString(), "3/9/1999 10:20:30 AM");
    EXPECT_EQ(dateTimeText(QDateTime(QDate(2004, 5, 3), QTime(0, 0))).toStdString(), "5/3/2004");
}

TEST(FillEntry, FillsEveryColumnFromTheHeaders) {
    MessageInfo info;
    info.size = 2048;
    info.headerLines = {"Return-Path: <x@y.z>", "From: \"Spam King\" <king@spam.example>",
                        "Subject: =?iso-8859-1?Q?Free_money?=", "Date: Tue, 9 Mar 1999 10:20:30 +0100"};
    const MessageEntry e = FillEntry(info);
    EXPECT_EQ(e.subject, "Free money");
    EXPECT_EQ(e.sender, "king@spam.example");
    EXPECT_EQ(e.size, "2048");
    EXPECT_EQ(e.date, dateTimeText(QDateTime(QDate(1999, 3, 9), QTime(10, 20, 30))).toStdString());
    EXPECT_EQ(e.mark, Mark::None);
}

TEST(FillEntry, MissingHeadersGiveEmptyTextsAndUnreadableDateStaysRaw) {
    MessageInfo info;
    info.headerLines = {"X-Other: 1"};
    const MessageEntry bare = FillEntry(info);
    EXPECT_EQ(bare.subject, "");
    EXPECT_EQ(bare.sender, "");
    EXPECT_EQ(bare.date, "");
    EXPECT_EQ(bare.size, "0");

    info.headerLines = {"Date: sometime next week"};
    EXPECT_EQ(FillEntry(info).date, "sometime next week");
}

} // namespace
} // namespace veltrane
