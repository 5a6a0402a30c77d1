#include "settings/generalsettings.h"
#include "settings/settingsstore.h"
#include "settings/tempconfighome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

class GeneralSettingsTest : public ::testing::Test {
protected:
    std::string stored(std::string_view section, std::string_view name) {
        return SettingsStore().ReadString(section, name, "<missing>");
    }
    void put(std::string_view section, std::string_view name, std::string_view text) {
        SettingsStore s;
        s.WriteString(section, name, text);
        ASSERT_TRUE(s.close().ok());
    }

    test::TempConfigHome home;
};

GeneralSettings sampleSettings() {
    GeneralSettings s;
    s.logFile = "/home/u/logs/log.txt";
    s.logNaming = LogNaming::Quarter;
    s.alarmFile = "/home/u/harptune.wav";
    s.mailer = "/usr/bin/mailer";
    s.automatic = true;
    s.ask = false;
    s.launch = false;
    s.exit = true;
    s.kill = true;
    s.alarm = false;
    s.repeat = false;
    s.minutes = 25;
    s.ras = 2;
    s.count = "1234";
    s.sysTray = true;
    return s;
}

TEST_F(GeneralSettingsTest, AnEmptyStoreGivesTheDefaults) {
    GeneralSettings s = sampleSettings();
    ASSERT_TRUE(ReadGeneralSettings(s).ok());
    GeneralSettings expected = GeneralSettings();
    expected.logNaming = s.logNaming; // comes with readServerSettings, not here
    EXPECT_EQ(s, expected);
    EXPECT_EQ(s.minutes, 10);
    EXPECT_TRUE(s.ask && s.launch && s.alarm && s.repeat);
    EXPECT_FALSE(s.automatic || s.exit || s.kill || s.sysTray);
    EXPECT_EQ(s.count, "0");
}

TEST_F(GeneralSettingsTest, SaveThenReadGivesTheSameSettings) {
    const GeneralSettings saved = sampleSettings();
    ASSERT_TRUE(SaveGeneralSettings(saved).ok());
    GeneralSettings read;
    ASSERT_TRUE(ReadGeneralSettings(read).ok());
    SettingsStore store;
    read.logNaming = readLogNaming(store);
    EXPECT_EQ(read, saved);
    EXPECT_EQ(stored("General", "AlarmFile"), "/home/u/harptune.wav");
    EXPECT_EQ(stored("General", "RAS"), "2");
    EXPECT_EQ(stored("General", "Kill"), "1");
    EXPECT_EQ(stored("General", "Points"), "<missing>"); // the About box's alone
}

TEST_F(GeneralSettingsTest, ASaveLeavesExactlyOneNamingSet) {
    for (LogNaming naming : {LogNaming::AsIs, LogNaming::Month, LogNaming::Quarter}) {
        GeneralSettings s;
        s.logNaming = naming;
        ASSERT_TRUE(SaveGeneralSettings(s).ok());
        const std::string flags = stored("Logfile", "Asis") + stored("Logfile", "Month") + stored("Logfile", "Quarter");
        EXPECT_EQ(flags, naming == LogNaming::AsIs ? "100" : naming == LogNaming::Month ? "010" : "001");
        EXPECT_EQ(readLogNaming(SettingsStore()), naming);
    }
}

TEST_F(GeneralSettingsTest, NamingPrecedenceIsMonthThenQuarterThenAsIs) {
    put("Logfile", "Asis", "1");
    put("Logfile", "Quarter", "1");
    put("Logfile", "Month", "1");
    EXPECT_EQ(readLogNaming(SettingsStore()), LogNaming::Month);
    put("Logfile", "Month", "0");
    EXPECT_EQ(readLogNaming(SettingsStore()), LogNaming::Quarter);
    put("Logfile", "Quarter", "");
    put("Logfile", "Asis", "0");
    EXPECT_EQ(readLogNaming(SettingsStore()), LogNaming::AsIs);
}

TEST_F(GeneralSettingsTest, AValueThatCannotBeReadStopsTheLoadThere) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(home.storeFile()).absolutePath()));
    QFile file(home.storeFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nLogfile=/x/log.txt\nAutomatic=1\nMinutes=@ByteArray(12)\nKill=1\n");
    file.close();
    GeneralSettings s;
    const Status status = ReadGeneralSettings(s);
    EXPECT_EQ(status.error(), "Invalid data type for 'Minutes'");
    EXPECT_EQ(s.logFile, "/x/log.txt"); // read before the faulty value
    EXPECT_TRUE(s.automatic);
    EXPECT_FALSE(s.kill); // after it: not read
}

TEST_F(GeneralSettingsTest, StartupValuesAndSingleValues) {
    put("General", "SysTray", "1");
    put("General", "Minutes", "0x1A");
    put("Server", "Which", "4");
    StartupValues v;
    ASSERT_TRUE(readStartupValues(v).ok());
    EXPECT_TRUE(v.sysTray);
    EXPECT_FALSE(v.automatic);
    EXPECT_EQ(v.minutes, 26);
    EXPECT_EQ(v.which, 4);
    EXPECT_EQ(v.ras, 0);

    GeneralSettings s;
    ASSERT_TRUE(writeAutomaticMode(s, true).ok());
    EXPECT_TRUE(s.automatic);
    EXPECT_EQ(stored("General", "Automatic"), "1");
    EXPECT_EQ(stored("General", "Ask"), "<missing>"); // the mode alone is written

    int points = -1;
    ASSERT_TRUE(readPoints(points).ok());
    EXPECT_EQ(points, 0);
    ASSERT_TRUE(writePoints(42).ok());
    ASSERT_TRUE(readPoints(points).ok());
    EXPECT_EQ(points, 42);

    put("General", "Logfile", "/var/log.txt");
    QString logFile;
    ASSERT_TRUE(readStoredLogFile(logFile).ok());
    EXPECT_EQ(logFile, "/var/log.txt");
}

TEST_F(GeneralSettingsTest, ColumnWidthsPerGrid) {
    std::vector<int> widths;
    ASSERT_TRUE(readColumnWidths(keys::HeaderColumns, 3, widths).ok());
    EXPECT_EQ(widths, (std::vector<int>{-1, -1, -1}));
    ASSERT_TRUE(saveColumnWidths(keys::HeaderColumns, {120, 80}).ok());
    EXPECT_EQ(stored("Headers", "col1"), "80");
    ASSERT_TRUE(readColumnWidths(keys::HeaderColumns, 3, widths).ok());
    EXPECT_EQ(widths, (std::vector<int>{120, 80, -1}));
    ASSERT_TRUE(readColumnWidths(keys::SubjectColumns, 2, widths).ok());
    EXPECT_EQ(widths, (std::vector<int>{-1, -1}));
}

TEST_F(GeneralSettingsTest, CounterGrowsFromItsStoredText) {
    GeneralSettings s;
    s.count = "41";
    addToCount(s, 3);
    EXPECT_EQ(s.count, "44");
    s.count = "lots";
    addToCount(s, 2);
    EXPECT_EQ(s.count, "2");
}

TEST_F(GeneralSettingsTest, MonthlyAndQuarterlyLogNames) {
    struct {
        const char* path;
        LogNaming naming;
        QDate day;
        const char* expected;
    } const cases[] = {
        {"/logs/old.txt", LogNaming::Month, QDate(1999, 3, 5), "/logs/Mar99.txt"},
        {"/logs/old.txt", LogNaming::Quarter, QDate(1999, 3, 31), "/logs/Q1_99.txt"},
        {"/logs/old.txt", LogNaming::Quarter, QDate(2024, 4, 1), "/logs/Q2_24.txt"},
        {"/logs/old.txt", LogNaming::Quarter, QDate(2005, 12, 31), "/logs/Q4_05.txt"},
        {"old.txt", LogNaming::Month, QDate(2001, 10, 9), "Oct01.txt"},
        {"/logs/old.txt", LogNaming::AsIs, QDate(1999, 3, 5), "/logs/old.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(namedLogFile(c.path, c.naming, c.day), QString(c.expected)) << c.path;
}

} // namespace
} // namespace veltrane
