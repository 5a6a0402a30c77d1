#include "rules/domaincheck.h"

#include <gtest/gtest.h>
#include <set>

namespace veltrane {
namespace {

// Answers from a fixed set of existing domains (compared as DNS does, without regard to case) and
// keeps every name it was asked for.
class FakeResolver : public DomainResolver {
public:
    explicit FakeResolver(std::set<std::string> existing) : existing_(std::move(existing)) {}
    bool domainAnswers(const std::string& domain) override {
        asked.push_back(domain);
        std::string lower = domain;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return existing_.count(lower) > 0;
    }
    std::vector<std::string> asked;

private:
    std::set<std::string> existing_;
};

struct DomainCase {
    const char* name;
    HeaderLines headers;
    std::optional<std::string> unknown;
    std::vector<std::string> asked;
};

TEST(DomainCheck, TestsTheReplyToDomainWhenThereIsOne) {
    const DomainCase cases[] = {
        {"Reply-to valid, From unknown: From is not tested",
         {"From: Spam <a@nowhere.example>", "Reply-To: b@good.example"},
         std::nullopt,
         {"good.example"}},
        {"Reply-to unknown",
         {"From: a@good.example", "Reply-to: <b@Nowhere.example>"},
         "Nowhere.example",
         {"Nowhere.example"}},
        {"no Reply-to, From unknown", {"From: \"A\" <a@nowhere.example>"}, "nowhere.example", {"nowhere.example"}},
        {"the same domain in both, in other case",
         {"From: a@GOOD.example", "Reply-to: b@good.EXAMPLE"},
         std::nullopt,
         {"good.EXAMPLE"}},
        {"an address without at sign is its own domain", {"From: nowhere"}, "nowhere", {"nowhere"}},
        {"no addresses at all", {"Subject: hello", "From: Someone <>"}, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeResolver resolver({"good.example"});
        RuleOptions options;
        DomainCheck check(resolver, options);
        EXPECT_EQ(check.CheckDomain(c.headers), c.unknown);
        EXPECT_EQ(resolver.asked, c.asked);
        EXPECT_EQ(options.unknownDomains, c.unknown ? "1" : "0");
    }
}

TEST(DomainCheck, EachDomainIsLookedUpAndCountedOncePerRun) {
    FakeResolver resolver({"good.example"});
    RuleOptions options;
    options.unknownDomains = "41";
    DomainCheck check(resolver, options);

    EXPECT_TRUE(check.qUnknownDomain("nowhere.example"));
    EXPECT_TRUE(check.qUnknownDomain("NoWhere.Example"));
    EXPECT_FALSE(check.qUnknownDomain("good.example"));
    EXPECT_FALSE(check.qUnknownDomain("GOOD.example"));
    EXPECT_TRUE(check.qUnknownDomain("other.invalid"));

    EXPECT_EQ(resolver.asked, (std::vector<std::string>{"nowhere.example", "good.example", "other.invalid"}));
    EXPECT_EQ(options.unknownDomains, "43");
    EXPECT_EQ(check.lbOkDomains(), (std::unordered_set<std::string>{"good.example"}));
    EXPECT_EQ(check.lbBadDomains(), (std::unordered_set<std::string>{"nowhere.example", "other.invalid"}));

    // A counter that is no number starts again from nothing.
    options.unknownDomains = "many";
    EXPECT_TRUE(check.qUnknownDomain("third.invalid"));
    EXPECT_EQ(options.unknownDomains, "1");
}

// A lookup lets other work run meanwhile; here that work judges the same domain first.
class ReentrantResolver : public DomainResolver {
public:
    bool domainAnswers(const std::string& domain) override {
        ++lookups;
        if (nested && lookups == 1)
            nested->qUnknownDomain(domain);
        return false;
    }
    DomainCheck* nested = nullptr;
    int lookups = 0;
};

TEST(DomainCheck, ADomainJudgedDuringItsOwnLookupIsCountedOnce) {
    ReentrantResolver resolver;
    RuleOptions options;
    DomainCheck check(resolver, options);
    resolver.nested = &check;
    EXPECT_TRUE(check.qUnknownDomain("nowhere.example"));
    EXPECT_EQ(options.unknownDomains, "1");
}

} // namespace
} // namespace veltrane
