#include "dns/mxresolver.h"
#include "rules/blacklist.h"
#include "rules/classifier.h"
#include "rules/domaincheck.h"
#include "rules/spamsenderchecks.h"
#include "servers/dns/dnsmasqserver.h"
#include "servers/dns/fakednsserver.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace veltrane {
namespace {

// The real resolver, with a record of the names it was asked for.
class CountingResolver : public DomainResolver {
public:
    explicit CountingResolver(MxResolver& resolver) : resolver_(resolver) {}
    bool domainAnswers(const std::string& domain) override {
        asked.push_back(domain);
        return resolver_.domainAnswers(domain);
    }
    std::vector<std::string> asked;

private:
    MxResolver& resolver_;
};

// The classification with the blacklist and the domain check wired in as the main window wires
// them, against a real dnsmasq.
class SenderCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new test::DnsmasqServer;
        ASSERT_TRUE(server_->start()) << server_->error().toStdString();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        blacklist.assign({"spammer@good.example", "junk.example"});
        classifier.setSenderChecks(&checks);
    }

    void message(HeaderLines headers) {
        MessageInfo info;
        info.size = 1000;
        headers.push_back("Subject: hello");
        info.headerLines = std::move(headers);
        entries.push_back(FillEntry(info));
        infos.push_back(std::move(info));
    }
    std::vector<MarkState> marks() const {
        std::vector<MarkState> result;
        for (const auto& e : entries)
            result.push_back(e.mark);
        return result;
    }
    std::vector<std::string> explain(int index) {
        classifier.ExplainMode = true;
        classifier.ReasonLines.clear();
        entries.at(static_cast<size_t>(index)).mark = Mark::None;
        classifier.MarkForDeletion(entries, infos, index);
        classifier.ExplainMode = false;
        return classifier.ReasonLines;
    }

    static test::DnsmasqServer* server_;
    MxResolver mx{server_->address(), 10s};
    CountingResolver resolver{mx};
    RuleBook book;
    lbKnown blacklist;
    DomainCheck domains{resolver, book.options};
    SpamSenderChecks checks{blacklist, domains};
    Classifier classifier{book};
    std::vector<MessageEntry> entries;
    std::vector<MessageInfo> infos;
};
test::DnsmasqServer* SenderCheckTest::server_ = nullptr;

TEST_F(SenderCheckTest, MarksBlacklistedSendersAndUnknownDomains) {
    message({"From: a@good.example"});
    message({"From: Spam <b@missing.example>"});
    message({"From: c@MISSING.Example"});
    message({"From: d@nomx.example"});
    message({"From: e@elsewhere.test"});                                // refused
    message({"From: spammer@good.example"});                            // listed address
    message({"From: x@junk.example"});                                  // listed domain, and unknown
    message({"From: f@good.example", "Reply-To: <g@missing.example>"}); // Reply-to decides

    // A check classifies each message twice.
    classifier.MarkForDeletion(entries, infos, -1);
    classifier.MarkForDeletion(entries, infos, -1);

    EXPECT_EQ(marks(), (std::vector<MarkState>{Mark::None, Mark::Question, Mark::Question, Mark::None, Mark::Question,
                                               Mark::KnownSpammer, Mark::KnownSpammer, Mark::Question}));
    EXPECT_EQ(resolver.asked, (std::vector<std::string>{"good.example", "missing.example", "nomx.example",
                                                        "elsewhere.test", "junk.example"}));
    EXPECT_EQ(book.options.unknownDomains, "3");

    EXPECT_EQ(explain(6), (std::vector<std::string>{
                              "Question :  Reply to or From (junk.example)  is an \"Unknown domain\" ",
                              "Delete   :  Domain \"junk.example\" is on the KNOWN SPAMMER BLACKLIST (you may edit if "
                              "this is in error)",
                          }));
    EXPECT_EQ(explain(5), (std::vector<std::string>{
                              "Delete   :  E-mail \"spammer@good.example\" is on the KNOWN SPAMMER BLACKLIST (you may "
                              "edit if this is in error)",
                          }));
    EXPECT_EQ(resolver.asked.size(), 5u);
    EXPECT_EQ(book.options.unknownDomains, "3");
}

TEST_F(SenderCheckTest, OptionsDecideMarksAndWhetherTheChecksRun) {
    message({"From: x@junk.example"});
    message({"From: a@missing.example"});

    // A delete mark from the domain check is never turned into a known-spammer mark.
    book.options.domainCheckDeletes = true;
    classifier.MarkForDeletion(entries, infos, -1);
    EXPECT_EQ(marks(), (std::vector<MarkState>{Mark::Delete, Mark::Delete}));

    book.options.domainCheckOn = false;
    book.options.blacklistOn = false;
    for (auto& e : entries)
        e.mark = Mark::None;
    resolver.asked.clear();
    classifier.MarkForDeletion(entries, infos, -1);
    EXPECT_EQ(marks(), (std::vector<MarkState>{Mark::None, Mark::None}));
    EXPECT_TRUE(resolver.asked.empty());

    book.options.blacklistOn = true;
    classifier.MarkForDeletion(entries, infos, -1);
    EXPECT_EQ(marks(), (std::vector<MarkState>{Mark::KnownSpammer, Mark::None}));
}

TEST(SenderCheckTimeout, ASilentServerMakesTheDomainUnknownOnce) {
    test::FakeDnsServer silent(test::FakeDnsServer::Reply::Silent);
    ASSERT_TRUE(silent.listening());
    MxResolver resolver(silent.address(), 200ms);
    RuleOptions options;
    DomainCheck domains(resolver, options);
    const HeaderLines headers = {"From: a@good.example"};

    EXPECT_EQ(domains.CheckDomain(headers), "good.example");
    const size_t queries = silent.queries().size();
    EXPECT_GE(queries, 1u);
    EXPECT_EQ(domains.CheckDomain(headers), "good.example");
    EXPECT_EQ(silent.queries().size(), queries) << "a time-out is a verdict too";
    EXPECT_EQ(options.unknownDomains, "1");
}

} // namespace
} // namespace veltrane
