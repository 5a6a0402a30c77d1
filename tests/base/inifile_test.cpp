#include "base/inifile.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

TEST(IniFile, NamesAreFoldedAndUnknownLinesSurviveASave) {
    IniFile ini = IniFile::parse("; kept comment\r\n[Known]\r\nNum=5\r\n\r\n[Other]\nKey = spaced value\n");
    EXPECT_EQ(ini.value("KNOWN", "num"), "5");
    EXPECT_EQ(ini.value("other", "KEY"), "spaced value");
    EXPECT_FALSE(ini.value("Known", "Missing").has_value());
    ini.setValue("known", "NUM", "6");
    ini.setBoolean("Known", "Valid", true);
    ini.setInteger("New", "Count", -3);
    EXPECT_EQ(ini.text(), "; kept comment\r\n[Known]\r\nNum=6\r\nValid=1\r\n\r\n[Other]\r\nKey = spaced value\r\n"
                          "[New]\r\nCount=-3\r\n");
}

TEST(IniFile, IntegersAsWindowsReadsThem) {
    struct Case {
        const char* text;
        std::optional<long long> value;
    };
    for (const Case& c : std::vector<Case>{{"12", 12},
                                           {" -7 ", -7},
                                           {"0x1F", 31},
                                           {"$10", 16},
                                           {"", std::nullopt},
                                           {"12abc", std::nullopt},
                                           {"0x", std::nullopt},
                                           {"99999999999999999999", std::nullopt}})
        EXPECT_EQ(parseIniInteger(c.text), c.value) << c.text;
    const IniFile ini = IniFile::parse("[S]\nFlag=2\nBad=yes\n");
    EXPECT_TRUE(ini.boolean("S", "Flag", false));
    EXPECT_TRUE(ini.boolean("S", "Bad", true)); // not a number: the default
    EXPECT_EQ(ini.integer("S", "Absent", 42), 42);
}

} // namespace
} // namespace veltrane
