#include "dns/mxresolver.h"
#include "servers/dns/dnsmasqserver.h"
#include "servers/dns/fakednsserver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <set>

using namespace std::chrono_literals;

namespace veltrane {
namespace {

using test::DnsmasqServer;
using test::FakeDnsServer;

class DnsmasqTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new DnsmasqServer;
        ASSERT_TRUE(server_->start()) << server_->error().toStdString();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    static DnsmasqServer* server_;
};
DnsmasqServer* DnsmasqTest::server_ = nullptr;

struct AnswerCase {
    const char* domain;
    bool ok;
    const char* error;
    std::vector<std::string> exchanges;
};

TEST_F(DnsmasqTest, AnswersAndErrorCodesDecideTheVerdict) {
    const AnswerCase cases[] = {
        {"good.example", true, "", {"mail.good.example"}},
        {"GOOD.Example", true, "", {"mail.good.example"}},
        {"nomx.example", true, "", {}}, // an answer without MX record still counts
        {"missing.example", false, "Domain name does not exist", {}},
        {"elsewhere.test", false, "Domain server refused to return the information", {}},
    };
    MxResolver resolver(server_->address(), 10s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.domain);
        const MxLookupResult result = resolver.lookUp(c.domain);
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.exchanges, c.exchanges);
        EXPECT_EQ(resolver.domainAnswers(c.domain), c.ok);
    }
}

TEST_F(DnsmasqTest, EnvironmentNamesTheServer) {
    qputenv("VELTRANE_DNS_SERVER", server_->address().toUtf8());
    MxResolver resolver;
    qunsetenv("VELTRANE_DNS_SERVER");
    EXPECT_EQ(resolver.server(), server_->address());
    EXPECT_EQ(resolver.timeLimit(), 60s);
    EXPECT_TRUE(resolver.lookUp("good.example").ok);
}

TEST_F(DnsmasqTest, EventsRunWhileALookupWaitsAndLookupsMayNest) {
    FakeDnsServer silent(FakeDnsServer::Reply::Silent);
    ASSERT_TRUE(silent.listening());
    MxResolver outer(silent.address(), 500ms);
    MxResolver inner(server_->address(), 10s);
    std::optional<MxLookupResult> nested;
    QTimer::singleShot(20ms, [&] { nested = inner.lookUp("good.example"); });

    const MxLookupResult result = outer.lookUp("good.example");
    EXPECT_FALSE(result.ok);
    ASSERT_TRUE(nested.has_value());
    EXPECT_TRUE(nested->ok);
    EXPECT_EQ(nested->exchanges, std::vector<std::string>{"mail.good.example"});
}

TEST(MxResolver, SendsOneMxQueryWithRecursionAndAFreshIdentifier) {
    FakeDnsServer silent(FakeDnsServer::Reply::Silent);
    ASSERT_TRUE(silent.listening());
    MxResolver resolver(silent.address(), 150ms);
    for (int i = 0; i < 3; ++i) {
        const MxLookupResult result = resolver.lookUp("Mixed.Example");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, "No answer within 150 ms");
    }
    // c-ares may send a query again before giving up; a repeat keeps its identifier.
    ASSERT_GE(silent.queries().size(), 3u);
    const QByteArray question = QByteArray("\x05Mixed\x07"
                                           "Example\x00",
                                           15) +
                                QByteArray("\x00\x0f\x00\x01", 4);
    std::set<QByteArray> ids;
    for (const QByteArray& query : silent.queries()) {
        ASSERT_EQ(query.size(), 12 + question.size());
        EXPECT_EQ(query.mid(2, 10).toHex().toStdString(), "01000001000000000000")
            << "flags: a standard query, recursion desired; one question";
        EXPECT_EQ(query.mid(12), question) << "the name exactly as given, type MX, class IN";
        ids.insert(query.left(2));
    }
    EXPECT_GE(ids.size(), 2u) << "the identifier must not be fixed";
}

struct FaultCase {
    const char* name;
    FakeDnsServer::Reply reply;
    int code;
    const char* error;
};

TEST(MxResolver, EveryFaultOfTheAnswerIsAFailure) {
    const FaultCase cases[] = {
        {"not a response", FakeDnsServer::Reply::Echo, 0, "This is not a response"},
        {"format error", FakeDnsServer::Reply::ErrorCode, 1, "Domain server was unable to interpret a query"},
        {"server failure", FakeDnsServer::Reply::ErrorCode, 2, "Domain server failure"},
        {"not implemented", FakeDnsServer::Reply::ErrorCode, 4, "Not implemented"},
        {"other code", FakeDnsServer::Reply::ErrorCode, 9, "Domain server Error #9"},
        // An answer under another identifier is not ours: it is ignored, and the wait runs out.
        {"wrong identifier", FakeDnsServer::Reply::WrongId, 0, "No answer within 300 ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDnsServer server(c.reply, c.code);
        ASSERT_TRUE(server.listening());
        const MxLookupResult result = MxResolver(server.address(), 300ms).lookUp("good.example");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, c.error);
    }
}

TEST(MxResolver, SocketErrorsAndBadInputFailAtOnce) {
    quint16 closedPort = 0;
    {
        QUdpSocket socket;
        ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
        closedPort = socket.localPort();
    }
    QElapsedTimer timer;
    timer.start();
    const MxLookupResult refused = MxResolver(QString("127.0.0.1:%1").arg(closedPort), 30s).lookUp("good.example");
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.error.empty());
    EXPECT_LT(timer.elapsed(), 25000) << "a refused port must not wait for the time-out: " << refused.error;

    const MxLookupResult badServer = MxResolver("mail.example.com:53", 1s).lookUp("good.example");
    EXPECT_FALSE(badServer.ok);
    EXPECT_EQ(badServer.error, "The DNS server \"mail.example.com:53\" is not an IP address with an optional port");

    const MxLookupResult badName = MxResolver("127.0.0.1:9", 1s).lookUp(std::string(64, 'a') + ".example");
    EXPECT_FALSE(badName.ok);
    EXPECT_NE(badName.error.find("cannot be asked for"), std::string::npos) << badName.error;
}

} // namespace
} // namespace veltrane
