#include "settings/settingsstore.h"
#include "settings/tempconfighome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    // Writes raw INI text as a hand or an older program would have left it.
    void writeRawStore(const QByteArray& text) {
        QDir().mkpath(QFileInfo(home.storeFile()).absolutePath());
        QFile file(home.storeFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void store(std::string_view section, std::string_view name, std::string_view text) {
        SettingsStore s;
        s.WriteString(section, name, text);
        ASSERT_TRUE(s.close().ok());
    }

    test::TempConfigHome home;
};

TEST_F(SettingsStoreTest, LivesInTheConfigurationFolder) {
    EXPECT_EQ(settingsLocation(), home.path() + "/Quorvell/Veltrane.conf");
}

TEST_F(SettingsStoreTest, NoStoreGivesFallbacksAndTheFirstAccessCreatesItForTheOwnerAlone) {
    ASSERT_FALSE(QFileInfo::exists(home.storeFile()));
    {
        SettingsStore s;
        EXPECT_EQ(s.ReadString("General", "Logfile", "dflt"), "dflt");
        EXPECT_EQ(s.ReadInteger("General", "Minutes", 10), 10);
        EXPECT_TRUE(s.ReadBool("General", "Ask", true));
        EXPECT_FALSE(s.ReadBool("General", "Kill", false));
        EXPECT_TRUE(s.close().ok());
    }
    ASSERT_TRUE(QFileInfo::exists(home.storeFile()));
    store("Server", "Passwd1", "00AB");
    const QFileDevice::Permissions p = QFile::permissions(home.storeFile());
    EXPECT_EQ(p & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    EXPECT_TRUE(p & QFileDevice::ReadOwner);
}

TEST_F(SettingsStoreTest, AWideningFileIsTightenedOnTheNextWrite) {
    store("General", "Count", "1");
    QFile::setPermissions(home.storeFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    store("General", "Count", "2");
    EXPECT_FALSE(QFile::permissions(home.storeFile()) & QFileDevice::ReadOther);
}

struct IntegerCase {
    const char* stored;
    int fallback;
    int expected;
};

TEST_F(SettingsStoreTest, IntegersFollowTheKindsTable) {
    const IntegerCase cases[] = {
        {"26", 10, 26},        {"-3", 10, -3},
        {"0x1A", 10, 26},      {"0X1a", 10, 26},
        {"12abc", 10, 10},     {"", 10, 10},
        {"0x", 10, 10},        {"abc", 10, 10},
        {"0xFFFFFFFF", 0, -1}, {"2147483647", 0, 2147483647},
        {"2147483648", 7, 7},  {"-2147483648", 0, -2147483647 - 1},
        {"0x100000000", 7, 7}, {"12 ", 7, 7},
        {" 12", 7, 12},        {"$1A", 7, 26},
    };
    for (const auto& c : cases) {
        store("General", "Minutes", c.stored);
        EXPECT_EQ(SettingsStore().ReadInteger("General", "Minutes", c.fallback), c.expected) << '"' << c.stored << '"';
    }
}

TEST_F(SettingsStoreTest, BooleansAreIntegersWithTheirDefault) {
    struct {
        const char* stored;
        bool fallback;
        bool expected;
    } const cases[] = {
        {"1", false, true}, {"0", true, false}, {"2", false, true},  {"-1", false, true},
        {"", true, true},   {"", false, false}, {"yes", true, true}, {"0x0", true, false},
    };
    for (const auto& c : cases) {
        store("General", "Ask", c.stored);
        EXPECT_EQ(SettingsStore().ReadBool("General", "Ask", c.fallback), c.expected) << '"' << c.stored << '"';
    }
}

TEST_F(SettingsStoreTest, WritesStoreStringsAndTextsComeBackAsTyped) {
    {
        SettingsStore s;
        s.WriteInteger("General", "Minutes", -15);
        s.WriteBool("General", "Ask", true);
        s.WriteBool("General", "Kill", false);
        s.WriteString("Server", "Server1", "  pop.example.com, backup ");
        s.WriteString("Server", "Mailbox1", "J\xC3\xBCrgen \"x\"=\\y\nz");
        s.WriteString("Server", "Passwd1", "");
        ASSERT_TRUE(s.close().ok());
    }
    SettingsStore s;
    EXPECT_EQ(s.ReadString("General", "Minutes", "?"), "-15");
    EXPECT_EQ(s.ReadString("General", "Ask", "?"), "1");
    EXPECT_EQ(s.ReadString("General", "Kill", "?"), "0");
    EXPECT_EQ(s.ReadString("Server", "Server1", "?"), "  pop.example.com, backup ");
    EXPECT_EQ(s.ReadString("Server", "Mailbox1", "?"), "J\xC3\xBCrgen \"x\"=\\y\nz");
    EXPECT_EQ(s.ReadString("Server", "Passwd1", "?"), "");
}

TEST_F(SettingsStoreTest, NamesAreMatchedWithoutRegardToCase) {
    store("General", "AlarmFile", "/sounds/a.wav");
    EXPECT_EQ(SettingsStore().ReadString("General", "Alarmfile", ""), "/sounds/a.wav");
    EXPECT_EQ(SettingsStore().ReadString("GENERAL", "ALARMFILE", ""), "/sounds/a.wav");

    // Rewritten under another spelling, the value stays one value.
    store("general", "alarmfile", "/sounds/b.wav");
    EXPECT_EQ(SettingsStore().ReadString("General", "AlarmFile", ""), "/sounds/b.wav");
    const QByteArray text = [&] {
        QFile f(home.storeFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_EQ(text.toLower().count("alarmfile"), 1) << text.constData();
    // The section reads as [General] in the file, as a person editing it would write it.
    EXPECT_TRUE(text.contains("[General]\n")) << text.constData();
    EXPECT_FALSE(text.contains("%General")) << text.constData();
}

TEST_F(SettingsStoreTest, AHandEditedStoreWithTwoSpellingsEndsWithOne) {
    writeRawStore("[Server]\nserver1=old\nSERVER1=older\n");
    store("Server", "Server1", "new");
    EXPECT_EQ(SettingsStore().ReadString("Server", "server1", ""), "new");
    EXPECT_EQ(SettingsStore().ReadString("Server", "SERVER1", ""), "new");
}

TEST_F(SettingsStoreTest, EveryAccessSeesTheWritesOfTheOneBefore) {
    SettingsStore reader; // opened before the write
    store("Server", "Which", "7");
    EXPECT_EQ(SettingsStore().ReadInteger("Server", "Which", 1), 7);
}

TEST_F(SettingsStoreTest, AValueThatIsNoTextCannotBeRead) {
    writeRawStore("[General]\nMinutes=@ByteArray(30)\nLogfile=/a, /b\n");
    SettingsStore s;
    try {
        (void)s.ReadInteger("General", "Minutes", 10);
        FAIL() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Minutes'");
    }
    // An unquoted comma is still one text.
    EXPECT_EQ(s.ReadString("General", "Logfile", ""), "/a, /b");
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeCreatedRefusesTheWrite) {
    // The folder that should hold the store is a plain file.
    QFile blocker(home.path() + "/Quorvell");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore s;
    EXPECT_EQ(s.ReadInteger("General", "Minutes", 10), 10);
    s.WriteString("General", "Logfile", "x");
    s.WriteString("General", "Mailer", "y");
    const Status status = s.close();
    EXPECT_EQ(status.error(), "Failed to create key General");
}

TEST_F(SettingsStoreTest, AStoreThatRefusesTheDataNamesTheValue) {
    // The store's own name is taken by a folder.
    ASSERT_TRUE(QDir().mkpath(home.storeFile()));
    SettingsStore s;
    s.WriteString("Server", "Which", "3");
    EXPECT_EQ(s.close().error(), "Failed to set data for 'Which'");
}

} // namespace
} // namespace veltrane
