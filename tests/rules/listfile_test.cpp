#include "rules/listfile.h"
#include "rules/rulebook.h"
#include "support/paramname.h"
#include "support/tempfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace veltrane {

// Failures show the list as its file text.
void PrintTo(const RuleList& list, std::ostream* os) {
    *os << listFileText(list);
}

namespace {

RuleList sampleList(RuleListKind kind) {
    RuleList list(kind);
    if (kind == RuleListKind::Exception) {
        list.addRule({"Subject:", "Contains", "minutes of\r\nthe meeting", "No", "4", "", "7"});
        list.addRule({"E-mail address", "Equals", "boss@work.example", "No", "0", "", ""});
        list.setIcon(1, 7);
        list.setIcon(2, 3);
    } else {
        list.addRule({"", "Contains", "free, fast, cheap", "No", "Yes", "12"});
        list.addRule({"", "Equals", "caf\xE9 line\r\nbreak", "Yes", "No", "0"});
        CheckGridAdv(list, 1, true);
        CheckGridAdv(list, 2, false);
    }
    list.setColumnWidth(2, 333);
    return list;
}

class ListRoundTrip : public ::testing::TestWithParam<RuleListKind> {};

TEST_P(ListRoundTrip, WritesAndReadsBackUnchanged) {
    test::TempDataFolder folder;
    const RuleList written = sampleList(GetParam());
    ASSERT_TRUE(writeListFile(folder.file("x.lst"), written).ok());
    RuleList read(GetParam());
    ASSERT_TRUE(readListFile(folder.file("x.lst"), read).ok());
    EXPECT_EQ(read, written);
    EXPECT_EQ(listFileText(read), listFileText(written));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ListRoundTrip,
                         ::testing::Values(RuleListKind::Subject, RuleListKind::Header, RuleListKind::Sender,
                                           RuleListKind::Exception));

TEST(ListFile, EmptySubjectListIsHeadingsOnly) {
    const RuleList list(RuleListKind::Subject);
    EXPECT_EQ(listFileText(list), "6,2\r\n"
                                  "cw 0,20\r\ncw 1,140\r\ncw 2,220\r\ncw 3,45\r\ncw 4,40\r\ncw 5,50\r\n"
                                  "1,0,What\r\n2,0,Matches\r\n3,0,Case\r\n4,0,Del?\r\n5,0,Hits\r\n");
}

TEST(ListFile, LineBreaksInCellsAreEscaped) {
    RuleList list(RuleListKind::Subject);
    list.setCell(2, 1, "a\r\nb");
    EXPECT_NE(listFileText(list).find("2,1,a\t\bb\r\n"), std::string::npos);
}

struct ReadCase {
    const char* name;
    std::string file;
    const char* error; // empty: reads without error
    int column, row;
    std::string cell; // the cell expected at (column, row)
};

class ListFileReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ListFileReading, ReadsOrFails) {
    const ReadCase& c = GetParam();
    RuleList list(RuleListKind::Subject);
    const Status status = parseListFile(c.file, "/data/subj.lst", list);
    EXPECT_EQ(status.error(), c.error);
    EXPECT_GE(list.rowCount(), 2);
    EXPECT_EQ(list.columnCount(), 6);
    EXPECT_EQ(list.cell(c.column, c.row), c.cell);
}

const char* const Corrupt = "File contains no data or corrupt file /data/subj.lst";

INSTANTIATE_TEST_SUITE_P(
    Files, ListFileReading,
    ::testing::Values(ReadCase{"CommasInCellText", "6,5\r\n2,4,free, fast, cheap\r\n", "", 2, 4, "free, fast, cheap"},
                      ReadCase{"RowBeyondCountIgnored", "6,25\r\n1,30,Contains\r\n1,24,Equals\r\n", "", 1, 30, ""},
                      ReadCase{"LastRowKept", "6,25\r\n1,24,Equals\r\n", "", 1, 24, "Equals"},
                      ReadCase{"NegativeIndexIgnored", "6,3\r\n-1,1,x\r\n1,-1,y\r\n1,1,z\r\n", "", 1, 1, "z"},
                      ReadCase{"ColumnBeyondCountIgnored", "6,3\r\n6,1,x\r\n", "", 5, 1, ""},
                      ReadCase{"NonNumericIndexIgnored", "6,3\r\nx,1,a\r\n1,y,b\r\n1,2,c\r\n", "", 1, 2, "c"},
                      ReadCase{"LineWithoutSecondComma", "6,3\r\n1,1\r\n", "", 1, 1, ""},
                      ReadCase{"LfOnlyLines", "6,3\n1,1,Contains\n2,1,x\n", "", 2, 1, "x"},
                      ReadCase{"EightBitBytesKept", "6,3\r\n2,1,\xE9t\xE9\x80\r\n", "", 2, 1, "\xE9t\xE9\x80"},
                      ReadCase{"EscapesUndone", "6,3\r\n2,1,a\t\bb\r\n", "", 2, 1, "a\r\nb"},
                      ReadCase{"BadWidthIgnored", "6,3\r\ncw 1,wide\r\ncw 99,5\r\ncw -1,5\r\n1,1,ok\r\n", "", 1, 1,
                               "ok"},
                      ReadCase{"ExtraColumnsDropped", "8,3\r\n7,1,gone\r\n5,1,3\r\n", "", 5, 1, "3"},
                      ReadCase{"OneRowGetsEmptyDataRow", "6,1\r\n1,0,What\r\n", "", 1, 0, "What"},
                      ReadCase{"ZeroColumns", "0,5\r\n", Corrupt, 1, 0, "What"},
                      ReadCase{"ZeroRows", "6,0\r\n", Corrupt, 1, 0, "What"},
                      ReadCase{"NegativeCounts", "-6,-2\r\n", Corrupt, 1, 0, "What"},
                      ReadCase{"NonNumericCounts", "six,two\r\n", Corrupt, 1, 0, "What"},
                      ReadCase{"EmptyFile", "", Corrupt, 1, 0, "What"},
                      ReadCase{"AbsurdRowCount", "6,999999999\r\n", Corrupt, 1, 0, "What"}),
    test::ParamName());

TEST(ListFile, DeleteFlagSetsIconAndIsCaseSensitive) {
    RuleList list(RuleListKind::Subject);
    ASSERT_TRUE(parseListFile("6,3\r\n1,1,Contains\r\n4,1,Yes\r\n1,2,Contains\r\n4,2,yes\r\n", "f", list).ok());
    EXPECT_EQ(list.icon(1), 0);
    EXPECT_EQ(list.icon(2), 1); // "yes" is not "Yes": a question rule
}

TEST(ListFile, OldExceptionLayoutsGainIconColumns) {
    RuleList five(RuleListKind::Exception);
    ASSERT_TRUE(
        parseListFile("5,2\r\n0,1,Domain name\r\n1,1,Equals\r\n2,1,good.example\r\n4,1,17\r\n", "f", five).ok());
    EXPECT_EQ(five.columnCount(), 7);
    EXPECT_EQ(five.cell(ExceptionColumn::Hits, 1), "17");
    EXPECT_EQ(five.icon(1), 3);

    RuleList six(RuleListKind::Exception);
    ASSERT_TRUE(parseListFile("6,2\r\n0,1,Subject:\r\n4,1,2\r\n", "f", six).ok());
    EXPECT_EQ(six.columnCount(), 7);
    EXPECT_EQ(six.cell(ExceptionColumn::Hits, 1), "2");
    EXPECT_EQ(six.icon(1), 3);
}

TEST(ListFile, ExceptionIconIndex) {
    RuleList list(RuleListKind::Exception);
    ASSERT_TRUE(parseListFile("7,4\r\n0,1,a\r\n6,1,9\r\n0,2,b\r\n6,2,99\r\n0,3,c\r\n", "f", list).ok());
    EXPECT_EQ(list.icon(1), 9);
    EXPECT_EQ(list.icon(2), 3); // outside the exception icons: the default
    EXPECT_EQ(list.icon(3), 3);

    RuleList bad(RuleListKind::Exception);
    EXPECT_EQ(parseListFile("7,2\r\n0,1,a\r\n6,1,nine\r\n", "f", bad).error(), "'nine' is not a valid integer value");
}

TEST(ListFile, MissingFileIsAnEmptyList) {
    test::TempDataFolder folder;
    RuleList list(RuleListKind::Exception);
    list.addRule({"Subject", "Contains", "x"});
    ASSERT_TRUE(readListFile(folder.file("none.lst"), list).ok());
    EXPECT_EQ(list, RuleList(RuleListKind::Exception));
    EXPECT_EQ(list.columnCount(), 7);
}

TEST(ListFile, UnreadableFileIsNotFound) {
    test::TempDataFolder folder;
    QDir(folder.path()).mkdir("subj.lst"); // there, but no file anyone can read, root included
    RuleList list(RuleListKind::Subject);
    EXPECT_EQ(readListFile(folder.file("subj.lst"), list).error(),
              "File " + folder.file("subj.lst").toStdString() + " not found");
}

TEST(RuleBook, ReadingStopsAtTheFirstBrokenFile) {
    test::TempDataFolder folder;
    folder.write("subj.lst", "6,2\r\n1,1,Contains\r\n2,1,viagra\r\n");
    folder.write("header.lst", "0,0\r\n");
    folder.write("from.lst", "6,2\r\n1,1,E-mail address\r\n");
    folder.write("veltrane.ini", "[Smaller]\r\nQSmaller=1\r\n");

    RuleBook book;
    EXPECT_EQ(readSettings(book, folder.path()).error(),
              "File contains no data or corrupt file " + folder.file("header.lst").toStdString());
    EXPECT_EQ(book.subject.cell(2, 1), "viagra");
    EXPECT_EQ(book.sender.cell(1, 1), ""); // after the broken file: not read
    EXPECT_FALSE(book.options.smallerOn);
}

TEST(RuleBook, SavesAndReadsBackEverything) {
    test::TempDataFolder folder;
    RuleBook book;
    book.subject = sampleList(RuleListKind::Subject);
    book.header = sampleList(RuleListKind::Header);
    book.sender = sampleList(RuleListKind::Sender);
    book.exceptions = sampleList(RuleListKind::Exception);
    book.options.smallerOn = true;
    book.options.largerLimit = 123456;
    book.options.domainCheckDeletes = true;
    book.options.unknownDomains = "42";
    ASSERT_TRUE(Savesettings(book, folder.path()).ok());

    RuleBook read;
    ASSERT_TRUE(readSettings(read, folder.path()).ok());
    EXPECT_EQ(read.subject, book.subject);
    EXPECT_EQ(read.header, book.header);
    EXPECT_EQ(read.sender, book.sender);
    EXPECT_EQ(read.exceptions, book.exceptions);
    EXPECT_EQ(read.options, book.options);
    EXPECT_EQ(folder.read("veltrane.ini"), "[Smaller]\r\nQSmaller=1\r\nNum=100\r\nCheck=1\r\n"
                                           "[Larger]\r\nQLarger=0\r\nNum=123456\r\nCheck=1\r\n"
                                           "[Known]\r\nQMonitor=1\r\nValid=1\r\nQuestion=1\r\nNum=42\r\n");
}

TEST(RuleOptions, DefaultsAndWindowsIntegers) {
    test::TempDataFolder folder;
    EXPECT_EQ(readRuleOptions(folder.file("veltrane.ini")), RuleOptions());
    folder.write("veltrane.ini", "[known]\nqmonitor=0\nVALID=7\n[Smaller]\nNum=0x10\n[Larger]\nNum=lots\n");
    const RuleOptions o = readRuleOptions(folder.file("veltrane.ini"));
    EXPECT_FALSE(o.blacklistOn);
    EXPECT_TRUE(o.domainCheckOn);
    EXPECT_EQ(o.smallerLimit, 16);
    EXPECT_EQ(o.largerLimit, 20000);
}

TEST(RuleBook, UnwritableFilesKeepTheirContent) {
    test::TempDataFolder folder;
    folder.write("subj.lst", "6,2\r\n1,1,Contains\r\n");
    QDir(folder.path()).mkdir("veltrane.ini"); // cannot be replaced by a file
    QFile::setPermissions(folder.file("subj.lst"), QFileDevice::ReadOwner);
    RuleBook book;
    EXPECT_FALSE(Savesettings(book, folder.path()).ok());
    EXPECT_TRUE(QFileInfo(folder.file("veltrane.ini")).isDir());
    if (geteuid() != 0) { // root may replace a read-only file; everyone else must not
        EXPECT_EQ(folder.read("subj.lst"), "6,2\r\n1,1,Contains\r\n");
    }
}

TEST(RuleList, RowOperationsKeepAtLeastOneDataRow) {
    RuleList list(RuleListKind::Subject);
    list.removeRow(1);
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.addRule({"", "Contains", "a"}), 1); // fills the empty row
    EXPECT_EQ(list.addRule({"", "Contains", "b"}), 2);
    list.moveRow(2, 1);
    EXPECT_EQ(list.cell(2, 1), "b");
    list.insertRow(1);
    EXPECT_EQ(list.cell(2, 1), "");
    EXPECT_FALSE(list.icon(1).has_value());
    list.setCell(40, 40, "ignored");
    EXPECT_EQ(list.cell(40, 40), "");
}

TEST(RuleList, HitsCountUpFromWhatTheCellHolds) {
    RuleList list(RuleListKind::Subject);
    for (const auto& [before, after] : std::vector<std::pair<std::string, std::string>>{
             {"0", "1"}, {"41", "42"}, {"abc", "1"}, {"", "1"}, {"-5", "1"}, {"99999999999", "100000000000"}}) {
        list.setCell(SubjectColumn::Hits, 1, before);
        BumpUpGrid(list, 1);
        EXPECT_EQ(list.cell(SubjectColumn::Hits, 1), after) << before;
    }
    RuleList exceptions(RuleListKind::Exception);
    BumpUpGrid(exceptions, 1);
    EXPECT_EQ(exceptions.cell(ExceptionColumn::Hits, 1), "1");
    CheckGridAdv(list, 0, true);
    CheckGridAdv(list, 9, true);
    EXPECT_FALSE(list.icon(0).has_value());
}

} // namespace
} // namespace veltrane
