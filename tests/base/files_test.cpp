#include "base/atomicfile.h"
#include "base/datafolder.h"
#include "support/tempfolder.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace veltrane {
namespace {

TEST(DataFolder, ComesFromTheEnvironmentAndIsCreated) {
    test::TempDataFolder folder;
    qputenv("VELTRANE_HOME", (folder.path() + "/deeper/still").toUtf8());
    EXPECT_EQ(dataFolder(), folder.path() + "/deeper/still");
    EXPECT_TRUE(QDir(folder.path() + "/deeper/still").exists());
    EXPECT_EQ(dataFile("subj.lst"), folder.path() + "/deeper/still/subj.lst");
}

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryBehind) {
    test::TempDataFolder folder;
    const QString path = folder.file("list.lst");
    ASSERT_TRUE(writeFileAtomically(path, "first").ok());
    ASSERT_TRUE(writeFileAtomically(path, std::string("second\0bytes", 12)).ok());
    EXPECT_EQ(readWholeFile(path), std::string("second\0bytes", 12));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"list.lst"});
    EXPECT_FALSE(readWholeFile(folder.file("missing")).has_value());
    EXPECT_FALSE(writeFileAtomically(folder.file("no/such/folder/x"), "x").ok());
}

TEST(AtomicFile, SameContentLeavesTheFileAlone) {
    test::TempDataFolder folder;
    const QString path = folder.file("list.lst");
    auto inode = [&path] {
        struct stat info {};
        return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? info.st_ino : 0;
    };
    ASSERT_TRUE(writeFileAtomically(path, "rules").ok());
    const auto written = inode();
    ASSERT_TRUE(writeFileAtomically(path, "rules").ok());
    EXPECT_EQ(inode(), written); // not replaced
    // Same size, other bytes: replaced.
    ASSERT_TRUE(writeFileAtomically(path, "RULES").ok());
    EXPECT_NE(inode(), written);
    EXPECT_EQ(readWholeFile(path), "RULES");
}

} // namespace
} // namespace veltrane

#include "base/displaytext.h"

namespace veltrane {
namespace {

TEST(DisplayText, Utf8WhenValidElseWindows1252) {
    EXPECT_EQ(displayText("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(displayText("Ren\xE9"
                          "e"),
              QString::fromUtf8("Ren\xC3\xA9"
                                "e"));
    EXPECT_EQ(displayText("\x80 \x93quoted\x94"), QString::fromUtf8("\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D"));
    EXPECT_EQ(displayText(""), QString());
    EXPECT_EQ(storedText(QString::fromUtf8("\xC3\xA9t\xC3\xA9")), "\xC3\xA9t\xC3\xA9");
}

} // namespace
} // namespace veltrane
