#include "base/atomicfile.h"
#include "mail/servermemory.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

const Capabilities Pipelines{.stls = false, .pipelining = true, .uidl = true};

TEST(ServerMemory, KeepsEachConnectionKindApartAndSurvivesARestart) {
    test::TempDataFolder folder;
    const QString file = folder.file("pop3servers.txt");
    {
        ServerMemory memory(file);
        memory.remember(ParseServer("Pop.Example", 110), {{.stls = true, .pipelining = false, .uidl = true}, true});
        memory.remember(ParseServer("pop3s://pop.example", 110), {Pipelines});
    }
    ServerMemory memory(file);
    const auto plain = memory.recall(ParseServer("pop.example:110", 110)); // the host in any case
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->offered.stls);
    EXPECT_FALSE(plain->offered.pipelining);
    EXPECT_TRUE(plain->offered.uidl);
    EXPECT_TRUE(plain->greetingFirst);
    const auto tls = memory.recall(ParseServer("pop3s://POP.example:995", 110));
    ASSERT_TRUE(tls);
    EXPECT_TRUE(tls->offered.pipelining);
    EXPECT_FALSE(tls->greetingFirst);
    EXPECT_FALSE(memory.recall(ParseServer("pop3://pop.example", 110))); // never TLS: another kind
    EXPECT_FALSE(memory.recall(ParseServer("pop.example:1110", 110)));

    memory.forget(ParseServer("pop.example", 110));
    EXPECT_FALSE(ServerMemory(file).recall(ParseServer("pop.example", 110)));
    EXPECT_TRUE(ServerMemory(file).recall(ParseServer("pop3s://pop.example", 110)));
}

TEST(ServerMemory, AFileNotOfOursTeachesNothingAndIsReplaced) {
    test::TempDataFolder folder;
    const QString file = folder.file("pop3servers.txt");
    const ServerAddress address = ParseServer("pop.example", 110);
    for (const std::string& text :
         {std::string("pop.example:110 PIPELINING\n"), // no order of use
          std::string("pop.example:110 -3 PIPELINING\n"), std::string("\x01\x02\n\n"), std::string(100 * 1024, 'x')}) {
        ASSERT_TRUE(writeFileAtomically(file, text).ok());
        ServerMemory memory(file);
        EXPECT_FALSE(memory.recall(address));
        memory.remember(address, {Pipelines});
        EXPECT_TRUE(ServerMemory(file).recall(address)->offered.pipelining);
    }
}

TEST(ServerMemory, DropsTheLeastRecentlyChangedServerWhenFull) {
    test::TempDataFolder folder;
    const QString file = folder.file("pop3servers.txt");
    ServerMemory memory(file);
    auto server = [](size_t i) { return ParseServer("pop" + std::to_string(i) + ".example", 110); };
    for (size_t i = 0; i <= ServerMemory::Capacity; ++i)
        memory.remember(server(i), {Pipelines});
    ServerMemory reread(file);
    EXPECT_FALSE(reread.recall(server(0)));
    EXPECT_TRUE(reread.recall(server(1)));
    EXPECT_TRUE(reread.recall(server(ServerMemory::Capacity)));
}

} // namespace
} // namespace veltrane
