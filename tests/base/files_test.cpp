#include "base/atomicfile.h"
#include "base/datafolder.h"
#include "support/tempfolder.h"

#include <QDir>
#include <gtest/gtest.h>

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

} // namespace
} // namespace veltrane
