// The client's wire behaviour, fed byte by byte through a scripted stream: what it writes, how it
// reads replies that arrive in pieces, and what it makes of broken or hostile replies.
#include "mail/eventlog.h"
#include "mail/pop3client.h"
#include "mail/scriptedstream.h"

#include <QTimer>
#include <deque>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

using test::EventLog;
using test::ScriptedStream;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A client whose sessions run over scripted streams, one stream per session.
struct Wire {
    std::deque<ScriptedStream> streams;
    size_t opened = 0;
    Pop3Client client;
    EventLog log{client};

    Wire() {
        client.settings().server = "pop.example";
        client.settings().userName = "joe";
        client.settings().password = "secret";
        client.settings().timeOut = std::chrono::seconds(5);
        client.setStreamFactory(
            [this]() -> QIODevice* { return opened < streams.size() ? &streams[opened++] : nullptr; });
    }
    ScriptedStream& session() { return streams.emplace_back(); }
};

// Greeting, CAPA and login of a server that knows no CAPA, with count messages waiting.
ScriptedStream& basicLogin(ScriptedStream& s, int count) {
    return s.greet({"+OK ready\r\n"})
        .on("CAPA", {"-ERR unknown command\r\n"})
        .on("USER joe", {"+OK\r\n"})
        .on("PASS secret", {"+OK logged in\r\n"})
        .on("STAT", {"+OK " + std::to_string(count) + " 1000\r\n"});
}

// A mailbox of three small messages, as LIST and TOP replies.
struct Listed {
    std::string list;
    std::string top;
};
const Listed Mailbox[] = {
    {"+OK 1 120\r\n", "+OK\r\nSubject: one\r\nFrom: a@one.example\r\nMessage-ID: <1@x>\r\n\r\nbody\r\n.\r\n"},
    {"+OK 2 220\r\n", "+OK\r\nSubject: two\r\nFrom: b@two.example\r\nMessage-ID: <2@x>\r\n\r\nbody\r\n.\r\n"},
    {"+OK 3 330\r\n", "+OK\r\nSubject: three\r\nFrom: c@three.example\r\nMessage-ID: <3@x>\r\n\r\n.\r\n"},
};

ScriptedStream& listing(ScriptedStream& s, int count) {
    for (int n = 1; n <= count; ++n)
        s.on("LIST " + std::to_string(n), {Mailbox[n - 1].list})
            .on("TOP " + std::to_string(n) + " 1", {Mailbox[n - 1].top});
    return s;
}

TEST(Pop3Protocol, ListsToTheLetterWithRepliesInPieces) {
    Wire wire;
    wire.session()
        .greet({"+OK POP3 ready\r", "\n"}) // split inside CR LF
        .on("CAPA", {"-", "ERR\r\n"})
        .on("USER joe", {"+OK\r\n"})
        .on("PASS secret", {"+OK\r\n"})
        .on("STAT", {"+OK 2 3", "20\r\n"})
        .on("LIST 1", {"+OK 1 120\r\n"})
        .on("TOP 1 1", {"+OK\r\nSubject: one\r\nFrom: a@b.example\r\n", "\r\nfirst body line\r\n", ".", "\r", "\n"})
        .on("LIST 2", {"+OK 2 200 extra\r\n"})
        // No empty line: every line is a header line, the dot-stuffed one as it came and the terminator too.
        .on("TOP 2 1", {"+OK top follows\r\nSubject: two\r\n\tcontinued\r\n..dot\r", "\n.", "\r\n"})
        .on("QUIT", {"+OK bye\r\n"});

    const Status status = wire.client.ListHeaders();

    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_EQ(wire.streams[0].written(), "CAPA\r\nUSER joe\r\nPASS secret\r\nSTAT\r\nLIST 1\r\nTOP 1 1\r\n"
                                         "LIST 2\r\nTOP 2 1\r\nQUIT\r\n");
    EXPECT_THAT(wire.log.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1",
                                             "Closing", "Closed", "InfoUpdated"));
    EXPECT_EQ(wire.client.MessageCount(), 2);
    ASSERT_EQ(wire.client.InfoCount(), 2);
    EXPECT_EQ(wire.client.Info(0).size, 120);
    EXPECT_THAT(wire.client.Info(0).headerLines, ElementsAre("Subject: one", "From: a@b.example"));
    EXPECT_EQ(wire.client.Info(1).size, 200);
    EXPECT_THAT(wire.client.Info(1).headerLines, ElementsAre("Subject: two", "\tcontinued", "..dot", "."));
    EXPECT_FALSE(wire.client.Connected());
}

TEST(Pop3Protocol, KeptSessionIsListedAgainWithoutLogin) {
    Wire wire;
    wire.client.settings().keepSessionOpen = true;
    ScriptedStream& s = basicLogin(wire.session(), 2);
    listing(s, 2);
    listing(s, 2);

    ASSERT_TRUE(wire.client.ListHeaders().ok());
    EXPECT_TRUE(wire.client.Connected());
    EXPECT_THAT(wire.log.take(),
                ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1", "InfoUpdated"));
    const size_t firstListing = s.written().size();

    ASSERT_TRUE(wire.client.ListHeaders().ok());
    EXPECT_EQ(s.written().substr(firstListing), "LIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\n");
    EXPECT_THAT(wire.log.take(), ElementsAre("UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1", "InfoUpdated"));
    EXPECT_EQ(wire.client.InfoCount(), 2);
    EXPECT_EQ(wire.opened, 1u);
}

TEST(Pop3Protocol, PipeliningKeepsABoundedWindowAndGivesTheSameItems) {
    // The same mailbox, once from a server without CAPA and once from one that pipelines.
    Wire plain;
    listing(basicLogin(plain.session(), 3), 3).on("QUIT", {"+OK\r\n"});
    ASSERT_TRUE(plain.client.ListHeaders().ok());

    Wire piped;
    piped.client.settings().pipelineWindow = 2;
    ScriptedStream& s = piped.session();
    s.greet({"+OK ready\r\n"})
        .on("CAPA", {"+OK\r\nTOP\r\nUIDL\r\nPIPELINING\r\nUSER\r\n.\r\n"})
        .on("USER joe", {"+OK\r\n"})
        .on("PASS secret", {"+OK\r\n"})
        .on("STAT", {"+OK 3 1000\r\n"})
        .on("UIDL", {"+OK\r\n1 aaa\r\n2 bbb\r\n", "3 ccc\r\n.\r\n"});
    listing(s, 3).on("QUIT", {"+OK\r\n"});
    ASSERT_TRUE(piped.client.ListHeaders().ok());

    EXPECT_EQ(piped.client.Infos().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(piped.client.Info(static_cast<int>(i)).size, plain.client.Info(static_cast<int>(i)).size);
        EXPECT_EQ(piped.client.Info(static_cast<int>(i)).headerLines,
                  plain.client.Info(static_cast<int>(i)).headerLines);
    }
    EXPECT_EQ(piped.log.events, plain.log.events);
    // The login goes in one write with the UIDL of the listing; two pairs go out at first, each
    // message read lets one more go, and QUIT follows the last pair.
    EXPECT_THAT(s.writes(), ElementsAre("CAPA\r\n", "USER joe\r\nPASS secret\r\nSTAT\r\nUIDL\r\n",
                                        "LIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\n", "LIST 3\r\nTOP 3 1\r\nQUIT\r\n"));
    EXPECT_TRUE(s.unexpected().empty());
}

TEST(Pop3Protocol, PipelinedKeptSessionAsksForUniqueIdsWithTheFirstPairs) {
    Wire wire;
    wire.client.settings().keepSessionOpen = true;
    ScriptedStream& s = wire.session();
    s.greet({"+OK\r\n"})
        .on("CAPA", {"+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n"})
        .on("USER joe", {"+OK\r\n"})
        .on("PASS secret", {"+OK\r\n"})
        .on("STAT", {"+OK 2 1000\r\n"})
        .on("UIDL", {"+OK\r\n1 aaa\r\n2 bbb\r\n.\r\n"});
    listing(s, 2).on("UIDL", {"+OK\r\n1 aaa\r\n2 bbb\r\n.\r\n"});
    listing(s, 2);

    ASSERT_TRUE(wire.client.ListHeaders().ok());
    const size_t firstListing = s.writes().size();
    ASSERT_TRUE(wire.client.ListHeaders().ok());

    EXPECT_THAT(std::vector<std::string>(s.writes().begin() + static_cast<long>(firstListing), s.writes().end()),
                ElementsAre("UIDL\r\nLIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\n"));
    EXPECT_TRUE(s.unexpected().empty());
    EXPECT_TRUE(wire.client.Connected());
}

TEST(Pop3Protocol, RememberedPipeliningSendsCapaAndTheLoginBeforeTheGreeting) {
    const ServerAddress address = ParseServer("pop.example", 110);
    const Capabilities pipelines{.stls = false, .pipelining = true, .uidl = true};
    struct Case {
        const char* name;
        std::string capa; // this session's CAPA reply
        std::string uidl; // the reply to the UIDL sent with the login
        std::vector<std::string> writes;
        Capabilities remembered;
    };
    const Case cases[] = {
        {"still pipelining",
         "+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n",
         "+OK\r\n1 aaa\r\n2 bbb\r\n.\r\n",
         {"CAPA\r\nUSER joe\r\nPASS secret\r\nSTAT\r\nUIDL\r\n", "LIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\nQUIT\r\n"},
         pipelines},
        // What went out in one write is read in order; the listing goes one command at a time.
        {"no longer offering anything",
         "-ERR\r\n",
         "-ERR unknown command\r\n",
         {"CAPA\r\nUSER joe\r\nPASS secret\r\nSTAT\r\nUIDL\r\n", "LIST 1\r\n", "TOP 1 1\r\n", "LIST 2\r\n",
          "TOP 2 1\r\n", "QUIT\r\n"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerMemory memory;
        memory.remember(address, {pipelines});
        Wire wire;
        wire.client.settings().memory = &memory;
        ScriptedStream& s = wire.session();
        s.greet({"+OK ready\r\n"})
            .on("CAPA", {c.capa})
            .on("USER joe", {"+OK\r\n"})
            .on("PASS secret", {"+OK\r\n"})
            .on("STAT", {"+OK 2 1000\r\n"})
            .on("UIDL", {c.uidl});
        listing(s, 2).on("QUIT", {"+OK\r\n"});

        const Status status = wire.client.ListHeaders();

        ASSERT_TRUE(status.ok()) << status.error();
        EXPECT_EQ(wire.client.InfoCount(), 2);
        EXPECT_EQ(wire.client.Info(1).headerLines,
                  (HeaderLines{"Subject: two", "From: b@two.example", "Message-ID: <2@x>"}));
        EXPECT_THAT(wire.log.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1",
                                                 "Closing", "Closed", "InfoUpdated"));
        EXPECT_EQ(s.writes(), c.writes);
        EXPECT_EQ(s.writtenBeforeGreeting(), c.writes[0]);
        EXPECT_TRUE(s.unexpected().empty());
        const auto known = memory.recall(address);
        ASSERT_TRUE(known);
        EXPECT_EQ(known->offered.pipelining, c.remembered.pipelining);
        EXPECT_EQ(known->offered.uidl, c.remembered.uidl);
    }
}

TEST(Pop3Protocol, AnEarlyStartLeftUnansweredWaitsForTheGreetingFromThenOn) {
    const ServerAddress address = ParseServer("pop.example", 110);
    ServerMemory memory;
    memory.remember(address, {{.stls = false, .pipelining = true, .uidl = false}});
    Wire wire;
    wire.client.settings().timeOut = std::chrono::milliseconds(200);
    wire.client.settings().memory = &memory;
    wire.session().greet({"+OK\r\n"}); // and never a word on what came before it
    ScriptedStream& next = wire.session();
    next.greet({"+OK\r\n"})
        .on("CAPA", {"+OK\r\nPIPELINING\r\n.\r\n"})
        .on("USER joe", {"+OK\r\n"})
        .on("PASS secret", {"+OK\r\n"})
        .on("STAT", {"+OK 0 0\r\n"})
        .on("QUIT", {"+OK\r\n"});

    EXPECT_EQ(wire.client.ListHeaders().error(), "Operation timed out");
    EXPECT_TRUE(memory.recall(address)->greetingFirst);

    ASSERT_TRUE(wire.client.ListHeaders().ok());
    EXPECT_EQ(next.writtenBeforeGreeting(), "");
    EXPECT_EQ(next.writes().front(), "CAPA\r\nUSER joe\r\nPASS secret\r\nSTAT\r\n");
    EXPECT_TRUE(memory.recall(address)->greetingFirst);
    EXPECT_TRUE(memory.recall(address)->offered.pipelining);
}

TEST(Pop3Protocol, ServerRefusalsEndTheOperationWithTheServersLine) {
    // -ERR at each step of a listing; a refusal raises no OnError.
    const std::vector<std::string> steps = {"greeting", "USER joe", "PASS secret", "STAT", "LIST 1", "TOP 1 1", "QUIT"};
    for (const std::string& refused : steps) {
        SCOPED_TRACE(refused);
        Wire wire;
        ScriptedStream& s = wire.session();
        const std::string line = "-ERR no to " + refused;
        auto reply = [&](const std::string& step, const std::string& positive) {
            return step == refused ? line + "\r\n" : positive;
        };
        s.greet({reply("greeting", "+OK\r\n")})
            .on("CAPA", {"-ERR\r\n"})
            .on("USER joe", {reply("USER joe", "+OK\r\n")})
            .on("PASS secret", {reply("PASS secret", "+OK\r\n")})
            .on("STAT", {reply("STAT", "+OK 1 10\r\n")})
            .on("LIST 1", {reply("LIST 1", Mailbox[0].list)})
            .on("TOP 1 1", {reply("TOP 1 1", Mailbox[0].top)})
            .on("QUIT", {reply("QUIT", "+OK\r\n")});

        const Status status = wire.client.ListHeaders();

        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error(), line);
        for (const std::string& event : wire.log.events)
            EXPECT_THAT(event, ::testing::Not(HasSubstr("Error")));
        EXPECT_THAT(s.written(), ::testing::Not(HasSubstr(refused == "QUIT" ? "NOOP" : "QUIT")));
    }
}

TEST(Pop3Protocol, ParameterChecksComeFirst) {
    struct Case {
        std::string user, password, server, error;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"", "secret", "pop.example", "UserName property is required", {"Error UserName property is required"}},
        {"joe", "", "pop.example", "Password property is required", {"Error Password property is required"}},
        {"joe", "secret", "", "Server property is required", {"Open", "Error Server property is required"}},
        {"joe",
         "secret\r\nDELE 1",
         "pop.example",
         "Password property must not contain line breaks",
         {"Error Password property must not contain line breaks"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        Wire wire;
        wire.client.settings().userName = c.user;
        wire.client.settings().password = c.password;
        wire.client.settings().server = c.server;
        const Status status = wire.client.ListHeaders();
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error(), c.error);
        EXPECT_EQ(wire.log.events, c.events);
        EXPECT_EQ(wire.opened, 0u);
    }
}

// A dial-up link that records what the client asks of it.
struct FakeDialUp : DialUpLink {
    bool entry = true;
    bool up = false;
    std::string failure;
    std::vector<std::string>* calls = nullptr;
    bool hasEntry() const override { return entry; }
    bool active() const override { return up; }
    Status dial() override {
        calls->push_back("dial");
        if (!failure.empty())
            return Status::failure(failure);
        up = true;
        return Status::success();
    }
    void hangUp() override {
        calls->push_back("hang up");
        up = false;
    }
};

TEST(Pop3Protocol, DialUpLinkIsDialedForTheSessionAndHungUpWithIt) {
    struct Case {
        const char* name;
        bool entry, alreadyUp;
        std::string failure;
        std::vector<std::string> expected; // dial-up calls and client events, in order
    };
    const Case cases[] = {
        {"dialed here", true, false, "", {"dial", "Open", "Closing", "Closed", "hang up"}},
        {"already up", true, true, "", {"Open", "Closing", "Closed"}},
        {"no entry chosen", false, false, "", {"Open", "Closing", "Closed"}},
        {"dialing fails", true, false, "Line busy", {"dial"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Wire wire;
        std::vector<std::string> calls;
        FakeDialUp link;
        link.entry = c.entry;
        link.up = c.alreadyUp;
        link.failure = c.failure;
        link.calls = &calls;
        wire.client.settings().dialUp = &link;
        for (auto signal : {&Pop3Client::OnOpen, &Pop3Client::OnClosing, &Pop3Client::OnClosed}) {
            const char* name = signal == &Pop3Client::OnOpen      ? "Open"
                               : signal == &Pop3Client::OnClosing ? "Closing"
                                                                  : "Closed";
            QObject::connect(&wire.client, signal, [&calls, name] { calls.push_back(name); });
        }
        basicLogin(wire.session(), 0).on("QUIT", {"+OK\r\n"});

        const Status status = wire.client.ListHeaders();

        EXPECT_EQ(status.ok() ? std::string() : status.error(), c.failure);
        EXPECT_EQ(calls, c.expected);
        EXPECT_THAT(wire.log.events, ::testing::Each(::testing::Not(HasSubstr("Error"))));
    }
}

TEST(Pop3Protocol, ErrorTextCanBeChangedByTheHandler) {
    Wire wire;
    wire.client.settings().userName.clear();
    QObject::connect(&wire.client, &Pop3Client::OnError, [](std::string& text) { text = "changed: " + text; });
    EXPECT_EQ(wire.client.ListHeaders().error(), "changed: UserName property is required");
}

TEST(Pop3Protocol, SilenceAndEndlessRepliesTimeOut) {
    struct Case {
        const char* name;
        std::function<void(ScriptedStream&)> script;
    };
    const Case cases[] = {
        {"no reply at all", [](ScriptedStream& s) { s.greet({"+OK\r\n"}).on("CAPA"); }},
        {"reply line never ends", [](ScriptedStream& s) { s.greet({"+OK\r\n"}).on("CAPA", {"+OK and on"}); }},
        {"multi-line reply never ends",
         [](ScriptedStream& s) {
             basicLogin(s, 2).on("LIST 1", {"+OK 1 10\r\n"}).on("TOP 1 1", {"+OK\r\nSubject: x\r\n", "\r\nbody\r\n"});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Wire wire;
        wire.client.settings().timeOut = std::chrono::milliseconds(150);
        c.script(wire.session());
        const Status status = wire.client.ListHeaders();
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error(), "Operation timed out");
        ASSERT_GE(wire.log.events.size(), 3u);
        EXPECT_THAT(std::vector<std::string>(wire.log.events.end() - 3, wire.log.events.end()),
                    ElementsAre("Closing", "Closed", "Error Operation timed out"));
        EXPECT_FALSE(wire.client.Connected());
        EXPECT_THAT(wire.streams[0].written(), ::testing::Not(HasSubstr("QUIT")));
    }
}

TEST(Pop3Protocol, CancelWhileWaiting) {
    Wire wire;
    listing(basicLogin(wire.session(), 3), 1).on("LIST 2", {"+OK 2 10\r\n"}).on("TOP 2 1"); // then silence
    QObject::connect(&wire.client, &Pop3Client::OnNextInfoUpdated,
                     [&](int) { QTimer::singleShot(20, &wire.client, [&] { wire.client.Cancel(); }); });

    const Status status = wire.client.ListHeaders();

    EXPECT_EQ(status.error(), "Operation has been canceled");
    EXPECT_THAT(wire.log.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "Cancel", "Closing", "Closed",
                                             "Error Operation has been canceled"));
    EXPECT_THAT(wire.streams[0].written(), ::testing::Not(HasSubstr("QUIT")));
    EXPECT_FALSE(wire.client.Connected());
}

TEST(Pop3Protocol, CancelBetweenStepsMakesTheNextCommandFail) {
    // Cancel handled while the client is not waiting (say, during the classification of a row).
    for (int window : {1, 4}) {
        SCOPED_TRACE(window);
        Wire wire;
        wire.client.settings().pipelineWindow = window;
        ScriptedStream& s = wire.session();
        s.greet({"+OK\r\n"})
            .on("CAPA", {"+OK\r\nPIPELINING\r\n.\r\n"})
            .on("USER joe", {"+OK\r\n"})
            .on("PASS secret", {"+OK\r\n"})
            .on("STAT", {"+OK 3 100\r\n"});
        listing(s, 3);
        QObject::connect(&wire.client, &Pop3Client::OnNextInfoUpdated, [&](int i) {
            if (i == 0)
                wire.client.Cancel();
        });

        const Status status = wire.client.ListHeaders();

        EXPECT_EQ(status.error(), "You have to connect to the server first");
        EXPECT_THAT(wire.log.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "Cancel", "Closing",
                                                 "Closed", "Error You have to connect to the server first"));
    }
}

TEST(Pop3Protocol, ServerClosingMidListingIsASocketError) {
    Wire wire;
    listing(basicLogin(wire.session(), 2), 1).onThenClose("LIST 2", {"+OK 2 10\r\n"});
    const Status status = wire.client.ListHeaders();
    EXPECT_EQ(status.error(), "The remote host closed the connection");
    EXPECT_THAT(wire.log.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "Closing", "Closed",
                                             "Error The remote host closed the connection"));
}

TEST(Pop3Protocol, LongLinesAreCutAndKeepNothingBeyondTheCap) {
    Wire wire;
    const std::string twoThousand = "-ERR " + std::string(1995, 'x'); // a 2,000-byte line, kept whole
    wire.session().greet({"+OK " + std::string(200000, 'g') + "\r\n"}).on("CAPA", {twoThousand + "\r\n"});
    // The greeting's 200,000 bytes arrive as one piece and are cut; the next line is read normally.
    wire.streams[0].on("USER joe", {"-ERR " + std::string(50000, 'u') + "\r\n"});

    const Status status = wire.client.ListHeaders();

    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().size(), pop3limits::ReplyLine);
    EXPECT_EQ(status.error().substr(0, 8), "-ERR uuu");
}

TEST(Pop3Protocol, HostileCountsSizesAndHeaderBytes) {
    for (const char* stat : {"+OK 99999999999999999999 5", "+OK lots 5", "+OK", "+OK -3 10"}) {
        SCOPED_TRACE(stat);
        Wire wire;
        wire.session()
            .greet({"+OK\r\n"})
            .on("CAPA", {"-ERR\r\n"})
            .on("USER joe", {"+OK\r\n"})
            .on("PASS secret", {"+OK\r\n"})
            .on("STAT", {std::string(stat) + "\r\n"});
        const Status status = wire.client.ListHeaders();
        EXPECT_EQ(status.error(), "Invalid reply to STAT: " + std::string(stat));
        EXPECT_EQ(wire.log.events.back(), "Error Invalid reply to STAT: " + std::string(stat));
        EXPECT_FALSE(wire.client.Connected());
    }

    Wire wire;
    const std::string binary("Subject: \x00\xff\x80\x1b bin\x01", 20);
    const std::string longLine = "X-Long: " + std::string(100000, 'l');
    basicLogin(wire.session(), 2)
        .on("LIST 1", {"+OK 1 big\r\n"})
        .on("TOP 1 1", {"+OK\r\n" + binary + "\r\n\r\n.\r\n"})
        .on("LIST 2", {"+OK 2 99999999999999999999999\r\n"})
        .on("TOP 2 1",
            {"+OK\r\n" + longLine.substr(0, 30000), longLine.substr(30000) + "\r\nSubject: after\r\n\r\n.\r\n"})
        .on("QUIT", {"+OK\r\n"});

    ASSERT_TRUE(wire.client.ListHeaders().ok());
    EXPECT_EQ(wire.client.Info(0).size, 0);
    EXPECT_THAT(wire.client.Info(0).headerLines, ElementsAre(binary));
    EXPECT_EQ(wire.client.Info(1).size, 0);
    ASSERT_EQ(wire.client.Info(1).headerLines.size(), 2u);
    EXPECT_EQ(wire.client.Info(1).headerLines[0], longLine.substr(0, pop3limits::DataLine));
    EXPECT_EQ(wire.client.Info(1).headerLines[1], "Subject: after");
}

TEST(Pop3Protocol, DeletionRereadsComparesAndDeletes) {
    Wire wire;
    listing(basicLogin(wire.session(), 3), 3).on("QUIT", {"+OK\r\n"});
    ASSERT_TRUE(wire.client.ListHeaders().ok());
    wire.log.take();
    wire.client.FlagForDeletion(0);
    wire.client.FlagForDeletion(2);
    wire.client.FlagForDeletion(7); // no such item

    ScriptedStream& s = basicLogin(wire.session(), 3);
    s.on("LIST 1", {Mailbox[0].list})
        .on("TOP 1 1", {Mailbox[0].top})
        .on("DELE 1", {"-ERR not today\r\n"}) // not judged: the run goes on
        .on("LIST 3", {Mailbox[2].list})
        .on("TOP 3 1", {Mailbox[2].top})
        .on("DELE 3", {"+OK\r\n"})
        .on("QUIT", {"+OK\r\n"});

    const Status status = wire.client.ApplyFlags();

    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_EQ(s.written(), "CAPA\r\nUSER joe\r\nPASS secret\r\nSTAT\r\nLIST 1\r\nTOP 1 1\r\nDELE 1\r\n"
                           "LIST 3\r\nTOP 3 1\r\nDELE 3\r\nQUIT\r\n");
    EXPECT_THAT(wire.log.events, ElementsAre("Open", "TransferringData", "Deleting 0", "Deleting 2", "DataTransfered",
                                             "Closing", "Closed"));
}

TEST(Pop3Protocol, ChangedMailboxStopsTheDeletionBeforeTheWrongMessage) {
    struct Case {
        const char* name;
        bool uidl;
        std::string rereadTop;  // what message 2 looks like now
        std::string rereadUidl; // its unique id now
    };
    const Case cases[] = {
        {"another header", false, Mailbox[2].top, ""},
        {"empty header now", false, "+OK\r\n\r\nbody\r\n.\r\n", ""},
        {"same header, other unique id", true, Mailbox[1].top, "+OK 2 zzz\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Wire wire;
        ScriptedStream& first = wire.session();
        first.greet({"+OK\r\n"})
            .on("CAPA", {c.uidl ? "+OK\r\nUIDL\r\n.\r\n" : "-ERR\r\n"})
            .on("USER joe", {"+OK\r\n"})
            .on("PASS secret", {"+OK\r\n"})
            .on("STAT", {"+OK 2 100\r\n"});
        if (c.uidl)
            first.on("UIDL", {"+OK\r\n1 aaa\r\n2 bbb\r\n.\r\n"});
        listing(first, 2).on("QUIT", {"+OK\r\n"});
        ASSERT_TRUE(wire.client.ListHeaders().ok());
        wire.log.take();
        wire.client.FlagForDeletion(0);
        wire.client.FlagForDeletion(1);

        ScriptedStream& second = wire.session();
        second.greet({"+OK\r\n"})
            .on("CAPA", {c.uidl ? "+OK\r\nUIDL\r\n.\r\n" : "-ERR\r\n"})
            .on("USER joe", {"+OK\r\n"})
            .on("PASS secret", {"+OK\r\n"})
            .on("STAT", {"+OK 2 100\r\n"})
            .on("LIST 1", {Mailbox[0].list})
            .on("TOP 1 1", {Mailbox[0].top});
        if (c.uidl)
            second.on("UIDL 1", {"+OK 1 aaa\r\n"});
        second.on("DELE 1", {"+OK\r\n"}).on("LIST 2", {Mailbox[1].list}).on("TOP 2 1", {c.rereadTop});
        if (c.uidl)
            second.on("UIDL 2", {c.rereadUidl});

        const Status status = wire.client.ApplyFlags();

        EXPECT_EQ(status.error(), "IDs are different");
        EXPECT_THAT(wire.log.events, ElementsAre("Open", "TransferringData", "Deleting 0", "Closing", "Closed",
                                                 "Error IDs are different"));
        EXPECT_THAT(second.written(), ::testing::Not(HasSubstr("DELE 2")));
        EXPECT_THAT(second.written(), ::testing::Not(HasSubstr("QUIT")));
        EXPECT_FALSE(wire.client.Connected());
    }
}

TEST(Pop3Protocol, RetrievalComesBeforeDeletionAndKeepsTheDataAsReceived) {
    Wire wire;
    wire.client.settings().keepSessionOpen = true;
    ScriptedStream& s = basicLogin(wire.session(), 2);
    listing(s, 2);
    ASSERT_TRUE(wire.client.ListHeaders().ok());
    wire.log.take();
    wire.client.FlagForRetrieval(1);
    wire.client.FlagForDeletion(1);
    const std::string message = "Subject: two\r\n\r\n..dot-stuffed\r\nbody\r\n.\r\n";
    s.on("LIST 2", {Mailbox[1].list})
        .on("TOP 2 1", {Mailbox[1].top})
        .on("LIST 2", {Mailbox[1].list})
        .on("RETR 2",
            {"+OK 40 octets\r\n" + message.substr(0, 20), message.substr(20, message.size() - 24), "\n.", "\r", "\n"})
        .on("LIST 2", {Mailbox[1].list})
        .on("TOP 2 1", {Mailbox[1].top})
        .on("DELE 2", {"+OK\r\n"})
        .on("QUIT", {"+OK\r\n"});
    const size_t before = s.written().size();

    const Status status = wire.client.ApplyFlags();

    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_EQ(s.written().substr(before),
              "LIST 2\r\nTOP 2 1\r\nLIST 2\r\nRETR 2\r\nLIST 2\r\nTOP 2 1\r\nDELE 2\r\nQUIT\r\n");
    EXPECT_THAT(wire.log.events, ElementsAre("TransferringData", "Retrieving 1", "UserMessageSave 1", "Retrieved 1",
                                             "Deleting 1", "DataTransfered", "Closing", "Closed"));
    EXPECT_THAT(wire.log.saved, ElementsAre(message));
    EXPECT_FALSE(wire.client.Connected());
}

TEST(Pop3Protocol, NothingListedMeansNothingToApply) {
    Wire wire;
    EXPECT_TRUE(wire.client.ApplyFlags().ok());
    EXPECT_EQ(wire.opened, 0u);
    EXPECT_TRUE(wire.log.events.empty());
}

TEST(Pop3Protocol, OneOperationAtATime) {
    Wire wire;
    listing(basicLogin(wire.session(), 1), 1).on("QUIT", {"+OK\r\n"});
    std::string nested;
    QObject::connect(&wire.client, &Pop3Client::OnUpdatingInfo, [&] { nested = wire.client.ListHeaders().error(); });
    ASSERT_TRUE(wire.client.ListHeaders().ok());
    EXPECT_EQ(nested, "Another operation of the mail client is still running");
}

} // namespace
} // namespace veltrane
