// The client against a real Dovecot started by each test: listing, kept sessions, refusals,
// time-outs, cancel, TLS both ways, pipelining and deletion.
#include "mail/eventlog.h"
#include "mail/pop3client.h"
#include "servers/pop3/dovecotserver.h"
#include "servers/pop3/tcpproxy.h"

#include <QEventLoop>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

using test::DovecotServer;
using test::EventLog;
using test::TcpProxy;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string message(int i) {
    const std::string n = std::to_string(i);
    return "From: Sender " + n + " <s" + n + "@example.org>\r\nTo: joe@example.net\r\nSubject: Message " + n +
           "\r\nMessage-ID: <" + n +
           "@example.org>\r\nDate: Tue, 9 Mar 1999 10:20:30 +0100\r\n\r\n"
           "Body line one\r\n.a line that begins with a dot\r\nlast\r\n";
}

HeaderLines headerOf(const std::string& text) {
    HeaderLines lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos && end != start; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// Sets an environment variable for the life of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

class Pop3Dovecot : public ::testing::Test {
protected:
    void startServer(int messages, DovecotServer::Options options = {}) {
        server_ = std::make_unique<DovecotServer>(options);
        server_->addUser("joe", "secret");
        for (int i = 1; i <= messages; ++i)
            server_->addMessage("joe", message(i));
        ASSERT_TRUE(server_->start()) << server_->error();
        client_.settings().server = server_->address();
        client_.settings().userName = "joe";
        client_.settings().password = "secret";
        client_.settings().timeOut = std::chrono::seconds(20);
    }

    std::unique_ptr<DovecotServer> server_;
    Pop3Client client_;
    EventLog log_{client_};
};

TEST_F(Pop3Dovecot, ListsEveryMessageAndEndsTheSession) {
    startServer(3);
    const Status status = client_.ListHeaders();
    ASSERT_TRUE(status.ok()) << status.error() << server_->log();

    EXPECT_EQ(client_.MessageCount(), 3);
    ASSERT_EQ(client_.InfoCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(client_.Info(i).headerLines, headerOf(message(i + 1)));
        EXPECT_EQ(client_.Info(i).size, static_cast<long long>(message(i + 1).size()));
        EXPECT_FALSE(client_.Info(i).remove);
    }
    EXPECT_THAT(log_.events, ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1",
                                         "NextInfoUpdated 2", "Closing", "Closed", "InfoUpdated"));
    EXPECT_FALSE(client_.Connected());
    EXPECT_TRUE(client_.capabilities().pipelining);
}

TEST_F(Pop3Dovecot, EmptyMailbox) {
    startServer(0);
    ASSERT_TRUE(client_.ListHeaders().ok());
    EXPECT_EQ(client_.MessageCount(), 0);
    EXPECT_EQ(client_.InfoCount(), 0);
    EXPECT_THAT(log_.events, ElementsAre("Open", "UpdatingInfo", "Closing", "Closed", "InfoUpdated"));
}

TEST_F(Pop3Dovecot, PipeliningGivesTheSameItemsAsOneCommandAtATime) {
    startServer(40);
    TcpProxy tap(server_->port());
    client_.settings().server = tap.address();
    client_.settings().pipelineWindow = 1;
    ASSERT_TRUE(client_.ListHeaders().ok());
    const std::vector<MessageInfo> oneByOne = client_.Infos();
    const std::vector<std::string> oneByOneEvents = log_.take();

    client_.settings().pipelineWindow = 8;
    ASSERT_TRUE(client_.ListHeaders().ok());
    ASSERT_EQ(client_.Infos().size(), oneByOne.size());
    for (size_t i = 0; i < oneByOne.size(); ++i) {
        EXPECT_EQ(client_.Infos()[i].headerLines, oneByOne[i].headerLines);
        EXPECT_EQ(client_.Infos()[i].size, oneByOne[i].size);
    }
    EXPECT_EQ(log_.events, oneByOneEvents);
    // Both sessions sent the same commands; only their timing differs.
    EXPECT_EQ(tap.clientBytes(0), tap.clientBytes(1));
    EXPECT_THAT(tap.clientBytes(1), HasSubstr("LIST 40\r\nTOP 40 1\r\nQUIT\r\n"));
}

TEST_F(Pop3Dovecot, KeptSessionListsAgainWithoutLoggingIn) {
    startServer(2);
    TcpProxy tap(server_->port());
    client_.settings().server = tap.address();
    client_.settings().keepSessionOpen = true;
    ASSERT_TRUE(client_.ListHeaders().ok());
    EXPECT_TRUE(client_.Connected());
    const size_t firstCheck = tap.clientBytes(0).size();
    server_->addMessage("joe", message(3)); // arrives between the checks; the kept session does not see it

    log_.take();
    ASSERT_TRUE(client_.ListHeaders().ok());

    EXPECT_THAT(log_.events, ElementsAre("UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1", "InfoUpdated"));
    EXPECT_EQ(client_.InfoCount(), 2);
    EXPECT_EQ(tap.connections(), 1u);
    const std::string second = tap.clientBytes(0).substr(firstCheck);
    EXPECT_THAT(second, Not(HasSubstr("USER")));
    EXPECT_THAT(second, Not(HasSubstr("PASS")));
    EXPECT_THAT(second, Not(HasSubstr("STAT")));
    EXPECT_THAT(tap.clientBytes(0), Not(HasSubstr("QUIT")));

    // Disconnect ends it properly; the next check logs in again and sees the new message.
    ASSERT_TRUE(client_.Disconnect().ok());
    EXPECT_THAT(tap.clientBytes(0), HasSubstr("QUIT\r\n"));
    ASSERT_TRUE(client_.ListHeaders().ok());
    EXPECT_EQ(client_.InfoCount(), 3);
}

TEST_F(Pop3Dovecot, WrongPasswordIsTheServersRefusal) {
    startServer(1);
    client_.settings().password = "wrong";
    const Status status = client_.ListHeaders();
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.error(), StartsWith("-ERR"));
    EXPECT_THAT(log_.events, ElementsAre("Open"));
    EXPECT_FALSE(client_.Connected());

    client_.settings().password = "secret";
    EXPECT_TRUE(client_.ListHeaders().ok());
}

TEST_F(Pop3Dovecot, ServerThatStopsAnsweringTimesOut) {
    startServer(1);
    client_.settings().timeOut = std::chrono::milliseconds(300);
    server_->pause();
    const Status status = client_.ListHeaders();
    server_->resume();
    EXPECT_EQ(status.error(), "Operation timed out");
    EXPECT_EQ(log_.events.back(), "Error Operation timed out");
    EXPECT_FALSE(client_.Connected());
}

TEST_F(Pop3Dovecot, CancelDuringListing) {
    startServer(6);
    client_.settings().pipelineWindow = 1;
    // While the third row is handled, the server stalls and the user presses Cancel.
    QObject::connect(&client_, &Pop3Client::OnNextInfoUpdated, [this](int i) {
        if (i == 2) {
            server_->pause();
            QTimer::singleShot(100, &client_, [this] { client_.Cancel(); });
        }
    });
    const Status status = client_.ListHeaders();
    server_->resume();

    EXPECT_EQ(status.error(), "Operation has been canceled");
    EXPECT_THAT(log_.events,
                ElementsAre("Open", "UpdatingInfo", "NextInfoUpdated 0", "NextInfoUpdated 1", "NextInfoUpdated 2",
                            "Cancel", "Closing", "Closed", "Error Operation has been canceled"));
    EXPECT_EQ(server_->messages("joe").size(), 6u);
}

TEST_F(Pop3Dovecot, DeletionRemovesTheFlaggedMessages) {
    startServer(4);
    ASSERT_TRUE(client_.ListHeaders().ok());
    log_.take();
    client_.FlagForDeletion(1);
    client_.FlagForDeletion(3);

    const Status status = client_.ApplyFlags();

    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_THAT(log_.events, ElementsAre("Open", "TransferringData", "Deleting 1", "Deleting 3", "DataTransfered",
                                         "Closing", "Closed"));
    EXPECT_THAT(server_->messages("joe"), ElementsAre(message(1), message(3)));
    ASSERT_TRUE(client_.ListHeaders().ok());
    EXPECT_EQ(client_.InfoCount(), 2);
}

TEST_F(Pop3Dovecot, MessageTakenAwayBetweenListingAndDeletion) {
    startServer(3);
    ASSERT_TRUE(client_.ListHeaders().ok());
    log_.take();
    // Another mail program fetches the first message; message 2 of the listing is number 1 now.
    server_->removeMessage("joe", 0);
    client_.FlagForDeletion(1);

    const Status status = client_.ApplyFlags();

    EXPECT_EQ(status.error(), "IDs are different");
    EXPECT_EQ(log_.events.back(), "Error IDs are different");
    EXPECT_THAT(server_->messages("joe"), ElementsAre(message(2), message(3)));
}

TEST_F(Pop3Dovecot, RetrievalGivesTheMessageAsSent) {
    startServer(2);
    client_.settings().keepSessionOpen = true;
    ASSERT_TRUE(client_.ListHeaders().ok());
    log_.take();
    client_.FlagForRetrieval(1);

    ASSERT_TRUE(client_.ApplyFlags().ok());

    EXPECT_THAT(log_.events, ElementsAre("TransferringData", "Retrieving 1", "UserMessageSave 1", "Retrieved 1",
                                         "DataTransfered", "Closing", "Closed"));
    std::string stuffed = message(2);
    stuffed.replace(stuffed.find("\r\n.a line") + 2, 1, "..");
    EXPECT_THAT(log_.saved, ElementsAre(stuffed + ".\r\n"));
    EXPECT_EQ(server_->messages("joe").size(), 2u);
}

class Pop3DovecotTls : public Pop3Dovecot {
protected:
    void SetUp() override { startServer(2, DovecotServer::Options{true}); }
};

TEST_F(Pop3DovecotTls, TlsFromTheFirstByteAndByStls) {
    ScopedEnv authority("VELTRANE_CA_FILE", server_->caFile());
    client_.settings().keepSessionOpen = true;
    struct Case {
        std::string server;
        bool encrypted;
    };
    const Case cases[] = {
        {"pop3s://localhost:" + std::to_string(server_->tlsPort()), true},
        {"127.0.0.1:" + std::to_string(server_->port()), true}, // STLS, offered by the server
        {"pop3://127.0.0.1:" + std::to_string(server_->port()), false},
    };
    // The second round sends the login with CAPA, as soon as the connection or its TLS is up.
    ServerMemory memory;
    client_.settings().memory = &memory;
    for (const Case& c : cases)
        for (int round = 1; round <= 2; ++round) {
            SCOPED_TRACE(c.server + " round " + std::to_string(round));
            client_.settings().server = c.server;
            const Status status = client_.ListHeaders();
            ASSERT_TRUE(status.ok()) << status.error();
            EXPECT_EQ(client_.InfoCount(), 2);
            EXPECT_EQ(client_.encrypted(), c.encrypted);
            EXPECT_EQ(client_.Info(1).headerLines, headerOf(message(2)));
            ASSERT_TRUE(client_.Disconnect().ok());
            const auto known = memory.recall(ParseServer(c.server, 110));
            ASSERT_TRUE(known);
            EXPECT_TRUE(known->offered.pipelining);
        }
}

TEST_F(Pop3DovecotTls, UntrustedCertificateIsRefusedWithAClearText) {
    ScopedEnv noAuthority("VELTRANE_CA_FILE", "");
    for (const std::string& server :
         {"pop3s://localhost:" + std::to_string(server_->tlsPort()), "localhost:" + std::to_string(server_->port())}) {
        SCOPED_TRACE(server);
        log_.take();
        client_.settings().server = server;
        const Status status = client_.ListHeaders();
        ASSERT_FALSE(status.ok());
        EXPECT_THAT(status.error(), StartsWith("The certificate of localhost could not be verified: "));
        EXPECT_EQ(log_.events.back(), "Error " + status.error());
        EXPECT_FALSE(client_.Connected());
    }
}

} // namespace
} // namespace veltrane
