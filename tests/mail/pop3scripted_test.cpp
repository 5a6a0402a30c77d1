// The client over real sockets against the scripted POP3 server: the faults a real server will
// not produce, name and port handling, and TLS against a server that does not speak it.
#include "mail/eventlog.h"
#include "mail/pop3client.h"
#include "servers/pop3/dovecotserver.h"
#include "servers/pop3/scriptedpop3server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

using test::EventLog;
using test::ScriptedPop3Server;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

// RFC 1939 alone: a server that refuses CAPA.
const std::string Login = "S: +OK ready\n"
                          "C: CAPA\n"
                          "S: -ERR unknown command\n"
                          "C: USER joe\n"
                          "S: +OK\n"
                          "C: PASS secret\n"
                          "S: +OK\n"
                          "C: STAT\n";

std::string message(int n, const std::string& extraHeader = "") {
    const std::string i = std::to_string(n);
    return "C: LIST " + i + "\nS: +OK " + i + " 100\nC: TOP " + i + " 1\nS: +OK\nS: Subject: message " + i +
           "\nS: Message-ID: <" + i + "@x>\n" + extraHeader + "S:\nS: body\nS: .\n";
}

struct Client {
    Pop3Client client;
    EventLog log{client};
    explicit Client(const std::string& server) {
        client.settings().server = server;
        client.settings().userName = "joe";
        client.settings().password = "secret";
        client.settings().timeOut = std::chrono::seconds(10);
    }
};

TEST(Pop3Scripted, ServerWithoutCapaGetsExactlyTheBasicSequence) {
    ScriptedPop3Server server({Login + "S: +OK 2 200\n" + message(1) + message(2) + "C: QUIT\nS: +OK bye\nCLOSE\n"});
    Client c(server.address());
    const Status status = c.client.ListHeaders();
    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_THAT(server.problems(), IsEmpty());
    EXPECT_EQ(server.received(0),
              "CAPA\r\nUSER joe\r\nPASS secret\r\nSTAT\r\nLIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\nQUIT\r\n");
    EXPECT_EQ(c.client.InfoCount(), 2);
}

TEST(Pop3Scripted, RepliesSplitAcrossReadsAndALongHeaderLine) {
    const std::string longValue(2000, 'v');
    ScriptedPop3Server server({"R: +OK rea\nW: 30\nR: dy\\r\nW: 30\nR: \\n\n"
                               "C: CAPA\nS: -ERR\nC: USER joe\nS: +OK\nC: PASS secret\nS: +OK\nC: STAT\nS: +OK 1 10\n"
                               "C: LIST 1\nS: +OK 1 10\nC: TOP 1 1\n"
                               "R: +OK\\r\\nX-Long: " +
                               longValue.substr(0, 700) + "\nW: 30\nR: " + longValue.substr(700) +
                               "\\r\nW: 30\nR: \\nSubject: s\\r\\n\\r\\nbody\\r\\n.\\r\nW: 30\nR: \\n\n"
                               "C: QUIT\nS: +OK\nCLOSE\n"});
    Client c(server.address());
    const Status status = c.client.ListHeaders();
    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_THAT(server.problems(), IsEmpty());
    ASSERT_EQ(c.client.InfoCount(), 1);
    EXPECT_THAT(c.client.Info(0).headerLines, ElementsAre("X-Long: " + longValue, "Subject: s"));
}

TEST(Pop3Scripted, ResetMidListingIsASocketError) {
    ScriptedPop3Server server(
        {Login + "S: +OK 3 300\n" + message(1) + "C: LIST 2\nS: +OK 2 100\nC: TOP 2 1\nS: +OK\nS: Subj\nRESET\n"});
    Client c(server.address());
    const Status status = c.client.ListHeaders();
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.error(), ::testing::AnyOf("The remote host closed the connection", "Connection reset by peer"));
    EXPECT_THAT(c.log.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "Closing", "Closed",
                                          "Error " + status.error()));
    EXPECT_FALSE(c.client.Connected());
}

TEST(Pop3Scripted, SilentServerTimesOut) {
    ScriptedPop3Server server({"S: +OK ready\nC: CAPA\n"});
    Client c(server.address());
    c.client.settings().timeOut = std::chrono::milliseconds(200);
    EXPECT_EQ(c.client.ListHeaders().error(), "Operation timed out");
    EXPECT_THAT(c.log.events, ElementsAre("Open", "Closing", "Closed", "Error Operation timed out"));
}

TEST(Pop3Scripted, RefusalAfterLoginKeepsAKeptSessionUsable) {
    // A LIST refused in a kept session ends that check; the next check goes on in the same session.
    ScriptedPop3Server server({Login + "S: +OK 1 100\nC: LIST 1\nS: -ERR not now\n" + message(1)});
    Client c(server.address());
    c.client.settings().keepSessionOpen = true;
    EXPECT_EQ(c.client.ListHeaders().error(), "-ERR not now");
    EXPECT_TRUE(c.client.Connected());
    ASSERT_TRUE(c.client.ListHeaders().ok());
    EXPECT_EQ(c.client.InfoCount(), 1);
    EXPECT_EQ(server.connections(), 1u);
    EXPECT_THAT(server.problems(), IsEmpty());
}

TEST(Pop3Scripted, MailboxChangedBetweenListingAndDeletion) {
    // Between the check and the deletion another program took message 1 away: message 2 of the
    // listing is number 1 now and number 2 names the listing's message 3.
    ScriptedPop3Server server(
        {Login + "S: +OK 3 300\n" + message(1) + message(2) + message(3) + "C: QUIT\nS: +OK\nCLOSE\n",
         Login + "S: +OK 2 200\nC: LIST 2\nS: +OK 2 100\nC: TOP 2 1\nS: +OK\nS: Subject: message 3\n"
                 "S: Message-ID: <3@x>\nS:\nS: .\n"});
    Client c(server.address());
    ASSERT_TRUE(c.client.ListHeaders().ok());
    c.client.FlagForDeletion(1);
    c.log.take();

    EXPECT_EQ(c.client.ApplyFlags().error(), "IDs are different");
    EXPECT_THAT(c.log.events, ElementsAre("Open", "TransferringData", "Closing", "Closed", "Error IDs are different"));
    EXPECT_THAT(server.received(1), Not(HasSubstr("DELE")));
    EXPECT_THAT(server.received(1), Not(HasSubstr("QUIT")));
    EXPECT_THAT(server.problems(), IsEmpty());
}

TEST(Pop3Scripted, ADownloadMayTakeLongerThanOneWaitWhileDataKeepsComing) {
    // Every block of a message body gets the full limit; a header reply must come whole within it.
    // The gaps (100 ms) leave the limit (350 ms) a wide margin; together they pass it.
    const std::string trickle = "R: +OK\\r\\nSubject: slow\\r\\n\nW: 100\nR: \\r\\nline one\\r\\n\nW: 100\n"
                                "R: line two\\r\\n\nW: 100\nR: line three\\r\\n\nW: 100\nR: .\\r\\n\n";
    ScriptedPop3Server server({Login +
                                   "S: +OK 1 100\nC: LIST 1\nS: +OK 1 100\nC: TOP 1 1\nS: +OK\nS: Subject: slow\n"
                                   "S:\nS: .\nC: LIST 1\nS: +OK 1 100\nC: TOP 1 1\nS: +OK\nS: Subject: slow\nS:\nS: .\n"
                                   "C: LIST 1\nS: +OK 1 100\nC: RETR 1\n" +
                                   trickle + "C: QUIT\nS: +OK\nCLOSE\n",
                               Login + "S: +OK 1 100\nC: LIST 1\nS: +OK 1 100\nC: TOP 1 1\n" + trickle});
    Client c(server.address());
    c.client.settings().keepSessionOpen = true;
    c.client.settings().timeOut = std::chrono::milliseconds(350);
    ASSERT_TRUE(c.client.ListHeaders().ok());
    c.client.FlagForRetrieval(0);

    const Status downloaded = c.client.ApplyFlags();
    ASSERT_TRUE(downloaded.ok()) << downloaded.error();
    EXPECT_THAT(c.log.saved, ElementsAre("Subject: slow\r\n\r\nline one\r\nline two\r\nline three\r\n.\r\n"));

    EXPECT_EQ(c.client.ListHeaders().error(), "Operation timed out");
    EXPECT_THAT(server.problems(), IsEmpty());
}

TEST(Pop3Scripted, StlsRefusedAfterBeingOffered) {
    ScriptedPop3Server server({"S: +OK ready\nC: CAPA\nS: +OK\nS: STLS\nS: .\nC: STLS\nS: -ERR TLS not ready\n"});
    Client c(server.address());
    EXPECT_EQ(c.client.ListHeaders().error(), "-ERR TLS not ready");
    EXPECT_THAT(c.log.events, ElementsAre("Open"));
}

TEST(Pop3Scripted, PlainServerOnATlsAddress) {
    ScriptedPop3Server server({"S: +OK ready, in plain text\n"});
    Client c("pop3s://127.0.0.1:" + std::to_string(server.port()));
    const Status status = c.client.ListHeaders();
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.error(), StartsWith("TLS handshake failed: "));
    EXPECT_EQ(c.log.events.back(), "Error " + status.error());
}

TEST(Pop3Scripted, UnknownHostAndClosedPort) {
    Client unknown("no-such-host.invalid:110");
    EXPECT_EQ(unknown.client.ListHeaders().error(), "Error resolving remote host");
    EXPECT_THAT(unknown.log.events, ElementsAre("Open", "Error Error resolving remote host"));

    Client refused("127.0.0.1:" + std::to_string(test::freeLoopbackPort()));
    EXPECT_EQ(refused.client.ListHeaders().error(), "Connection refused");
    EXPECT_THAT(refused.log.events, ElementsAre("Open", "Error Connection refused"));
}

} // namespace
} // namespace veltrane
