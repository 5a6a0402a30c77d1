// Reading replies and server fields: the small pure pieces under the client.
#include "mail/pop3reply.h"
#include "mail/serveraddress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

using ::testing::ElementsAre;

TEST(Pop3Reply, StatAndListNumbers) {
    struct Case {
        const char* reply;
        std::optional<int> count;
    };
    const Case stats[] = {
        {"+OK 2 320", 2},
        {"+OK 0 0", 0},
        {"+OK 7", 7},
        {"+OK 2147483647 1", 2147483647},
        {"+OK 2147483648 1", std::nullopt},
        {"+OK many 1", std::nullopt},
        {"+OK", std::nullopt},
        {"+OK -1 0", std::nullopt},
        {"+OK 3x 9", std::nullopt},
    };
    for (const Case& c : stats)
        EXPECT_EQ(StatCount(c.reply), c.count) << c.reply;

    struct Size {
        const char* reply;
        long long size;
    };
    const Size sizes[] = {
        {"+OK 1 320", 320}, {"+OK 12 5 more text", 5},         {"+OK 1 abc", 0}, {"+OK 1", 0},
        {"+OK 1 -5", 0},    {"+OK 1 99999999999999999999", 0}, {"+OK", 0},
    };
    for (const Size& c : sizes)
        EXPECT_EQ(ListSize(c.reply), c.size) << c.reply;

    EXPECT_TRUE(IsPositive("+OK"));
    EXPECT_FALSE(IsPositive("-ERR"));
    EXPECT_FALSE(IsPositive(" +OK"));
    EXPECT_FALSE(IsPositive(""));
    EXPECT_EQ(StripLineEnd("+OK\r\r\n"), "+OK");
}

TEST(Pop3Reply, LineBufferCutsLongLinesAndHoldsLittle) {
    LineBuffer buffer;
    buffer.append("short\r\nlong", 11);
    auto first = buffer.takeLine(8);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bytes, "short\r\n");
    EXPECT_FALSE(first->cut);
    EXPECT_FALSE(buffer.takeLine(8));

    // A line that never stops is kept to its cap while the rest passes through.
    for (int i = 0; i < 1000; ++i) {
        buffer.append(std::string(1000, 'x'));
        EXPECT_FALSE(buffer.takeLine(8));
        EXPECT_LE(buffer.pending(), 8u);
    }
    buffer.append("tail\nnext\n", 10);
    auto cut = buffer.takeLine(8);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->bytes, "longxxxx");
    EXPECT_TRUE(cut->cut);
    EXPECT_EQ(buffer.takeLine(8)->bytes, "next\n");
}

TEST(Pop3Reply, MessageDataEndsAtTheTerminatingLineOnly) {
    struct Case {
        std::vector<std::string> pieces;
        std::string data; // what is taken, terminator included
        std::string rest; // what stays for the next reply
    };
    const Case cases[] = {
        {{"a\r\n.\r\n"}, "a\r\n.\r\n", ""},
        {{".\r\n+OK next\r\n"}, ".\r\n", "+OK next\r\n"},
        {{"a\r\n..b\r\n.", "\r", "\nrest"}, "a\r\n..b\r\n.\r\n", "rest"},
        {{"x.\r\n", ".x\r\n", ".\r\n"}, "x.\r\n.x\r\n.\r\n", ""},
    };
    for (const Case& c : cases) {
        LineBuffer buffer;
        LineBuffer::DataScan scan;
        std::string data;
        bool done = false;
        for (const std::string& piece : c.pieces) {
            EXPECT_FALSE(done);
            buffer.append(piece);
            done = buffer.takeData(data, scan);
        }
        EXPECT_TRUE(done);
        EXPECT_EQ(data, c.data);
        auto rest = buffer.takeLine(100);
        EXPECT_EQ(rest ? rest->bytes : std::string(), c.rest == "rest" ? "" : c.rest);
    }
}

TEST(Pop3Reply, CapabilitiesAndUniqueIds) {
    const Capabilities caps =
        ParseCapabilities({"TOP", "uidl", "PIPELINING", "SASL PLAIN", "STLS", "IMPLEMENTATION x"});
    EXPECT_TRUE(caps.stls);
    EXPECT_TRUE(caps.pipelining);
    EXPECT_TRUE(caps.uidl);
    EXPECT_FALSE(ParseCapabilities({"TOP", "USER"}).pipelining);

    auto entry = ParseUniqueId("3 whqtswO00WBw418f9t5JxYwZ");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->number, 3);
    EXPECT_EQ(entry->id, "whqtswO00WBw418f9t5JxYwZ");
    EXPECT_FALSE(ParseUniqueId("x y"));
    EXPECT_FALSE(ParseUniqueId("3"));
    EXPECT_FALSE(ParseUniqueId("0 abc"));
    EXPECT_EQ(ParseUniqueId("1 " + std::string(5000, 'u'))->id.size(), pop3limits::UniqueId);
}

TEST(Pop3Reply, HeadersMatch) {
    const HeaderLines a{"Subject: one", "Message-ID: <1@x>"};
    struct Case {
        const char* name;
        HeaderLines stored, reread;
        bool match;
    };
    const Case cases[] = {
        {"same", a, a, true},
        {"one line differs", a, {"Subject: two", "Message-ID: <1@x>"}, false},
        {"shorter one agrees", a, {"Subject: one"}, true},
        {"both empty", {}, {}, true},
        {"stored empty", {}, a, false},
        {"reread empty", a, {}, false},
        {"message ids differ beyond the shorter",
         {"Subject: s", "Message-ID: <1@x>"},
         {"Subject: s", "X: y", "Message-ID: <2@x>"},
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HeadersMatch(c.stored, c.reread), c.match) << c.name;
}

TEST(ServerField, PortRuleAndTls) {
    auto pop3At = [](int port) { return [port](const char*) { return port; }; };
    struct Case {
        const char* server;
        int service; // what the services table says of "pop3"; 0: not listed
        ServerAddress expected;
    };
    const Case cases[] = {
        {"mail.example", 110, {"mail.example", 110, TlsMode::UpgradeIfOffered}},
        {"mail.example", 1110, {"mail.example", 1110, TlsMode::UpgradeIfOffered}},
        {"mail.example", 0, {"mail.example", 110, TlsMode::UpgradeIfOffered}},
        {"mail.example:2110", 110, {"mail.example", 2110, TlsMode::UpgradeIfOffered}},
        {"mail.example:0", 1110, {"mail.example", 1110, TlsMode::UpgradeIfOffered}},
        {"mail.example:abc", 0, {"mail.example", 110, TlsMode::UpgradeIfOffered}},
        {"mail.example:70000", 0, {"mail.example", 110, TlsMode::UpgradeIfOffered}},
        {"10.1.2.3:995", 110, {"10.1.2.3", 995, TlsMode::Immediate}},
        {"pop3s://mail.example", 110, {"mail.example", 995, TlsMode::Immediate}},
        {"POP3S://mail.example:1995/", 110, {"mail.example", 1995, TlsMode::Immediate}},
        {"pop3://mail.example", 110, {"mail.example", 110, TlsMode::Never}},
        {"pop3://mail.example:995", 110, {"mail.example", 995, TlsMode::Never}},
        {" [::1]:2110 ", 110, {"::1", 2110, TlsMode::UpgradeIfOffered}},
        {"host:1:2", 0, {"host", 110, TlsMode::UpgradeIfOffered}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseServer(c.server, 110, pop3At(c.service)), c.expected) << c.server;

    EXPECT_EQ(systemServicePort("pop3"), 110); // Debian's /etc/services lists it
    EXPECT_EQ(systemServicePort("no-such-service-here"), 0);
}

} // namespace
} // namespace veltrane
