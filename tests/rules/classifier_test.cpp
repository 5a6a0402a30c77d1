#include "rules/classifier.h"
#include "rules/mailboxes.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

// A rule book built row by row, and messages built from header lines.
class ClassifierTest : public ::testing::Test {
protected:
    int subjectRule(const std::string& condition, const std::string& pattern, bool deletes,
                    bool caseSensitive = false) {
        const int row =
            book.subject.addRule({"", condition, pattern, caseSensitive ? "Yes" : "No", deletes ? "Yes" : "No", "0"});
        CheckGridAdv(book.subject, row, deletes);
        return row;
    }
    int senderRule(const std::string& what, const std::string& condition, const std::string& pattern, bool deletes) {
        return book.sender.addRule({"", what, condition, pattern, deletes ? "Yes" : "No", "0"});
    }
    int headerRule(const std::string& condition, const std::string& pattern, bool deletes, bool caseSensitive = false) {
        return book.header.addRule({"", condition, pattern, caseSensitive ? "Yes" : "No", deletes ? "Yes" : "No", "0"});
    }
    int exceptionRule(const std::string& what, const std::string& condition, const std::string& pattern,
                      const std::string& icon = "", bool caseSensitive = false) {
        return book.exceptions.addRule({what, condition, pattern, caseSensitive ? "Yes" : "No", "0", "", icon});
    }
    void message(HeaderLines headers, long long size = 1000) {
        MessageInfo info;
        info.size = size;
        // The last header line is never examined by the line rules; a trailing line keeps the
        // tests about the others.
        headers.push_back("X-Last: end");
        info.headerLines = std::move(headers);
        entries.push_back(FillEntry(info));
        infos.push_back(std::move(info));
    }
    MarkState classify(int index = 0) {
        classifier.MarkForDeletion(entries, infos, index);
        return entries.at(static_cast<size_t>(index == -1 ? 0 : index)).mark;
    }
    std::vector<std::string> explain(int index = 0) {
        classifier.ExplainMode = true;
        classifier.ReasonLines.clear();
        entries.at(static_cast<size_t>(index)).mark = Mark::None;
        classifier.MarkForDeletion(entries, infos, index);
        classifier.ExplainMode = false;
        return classifier.ReasonLines;
    }
    std::string hits(const RuleList& list, int row) const { return list.cell(list.hitsColumn(), row); }

    RuleBook book;
    Classifier classifier{book};
    std::vector<MessageEntry> entries;
    std::vector<MessageInfo> infos;
};

TEST_F(ClassifierTest, ExceptionBeatsEverythingAndCountsOnlyItself) {
    const int spam = subjectRule("Contains", "free", true);
    const int ok = exceptionRule("E-mail address", "Equals", "friend@home.example", "9");
    message({"From: Friend <friend@home.example.org>", "Subject: free lunch"});
    EXPECT_EQ(classify(), 9); // a complete address also accepts a longer one that starts with it
    EXPECT_EQ(hits(book.exceptions, ok), "1");
    EXPECT_EQ(hits(book.subject, spam), "0");
}

TEST_F(ClassifierTest, ExceptionTargets) {
    struct Case {
        const char* name;
        std::vector<std::string> exception; // what, condition, matches
        HeaderLines headers;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"DomainEndsWith", {"Domain name", "Equals", "HOME.example"}, {"From: a@mail.home.example"}, true},
        {"DomainOtherDomain", {"Domain name", "Equals", "home.example"}, {"From: a@home.example.net"}, false},
        {"SubjectWithoutColon", {"Subject", "Starts with", "[list]"}, {"Subject: [LIST] news"}, true},
        {"NamedField", {"CC:", "Contains", "team@"}, {"Cc: team@work.example"}, true},
        {"NamedFieldAbsent", {"Reply-To:", "Equals", ""}, {"From: x@y.z"}, true},
        {"AnyHeaderLine", {"Any Header", "Contains", "X-Company: ours"}, {"X-Company: ours", "Subject: s"}, true},
        {"AnyHeaderOnlyInLastLine", {"Any Header", "Contains", "X-Last"}, {"Subject: s"}, false},
        {"ConditionNotForExceptions", {"Subject", "Is blank", ""}, {"Subject: "}, false},
        {"UnknownCondition", {"Subject", "Matches regex", "x"}, {"Subject: x"}, false},
    };
    for (const Case& c : cases) {
        book = RuleBook();
        entries.clear();
        infos.clear();
        exceptionRule(c.exception[0], c.exception[1], c.exception[2]);
        message(c.headers);
        EXPECT_EQ(classify(), c.accepted ? 3 : Mark::None) << c.name;
    }
}

TEST_F(ClassifierTest, EmptyExceptionRowIsSkippedNotTheEnd) {
    exceptionRule("", "", "");
    exceptionRule("Subject", "Contains", "hello", "5");
    message({"Subject: hello"});
    EXPECT_EQ(classify(), 5);
}

TEST_F(ClassifierTest, EmptyWhatEndsRuleList) {
    subjectRule("Contains", "aaa", false);
    subjectRule("Contains", "bbb", false);
    book.subject.addRule({"", "", "ccc", "No", "Yes", "0"});
    subjectRule("Contains", "ccc", true);
    message({"Subject: ccc"});
    EXPECT_EQ(classify(), Mark::None);
}

TEST_F(ClassifierTest, SizeMarksOverEarlierMarkAndListsStillRun) {
    book.options.smallerOn = true;
    book.options.smallerDeletes = false;
    const int rule = subjectRule("Contains", "win", true);
    message({"Subject: you win"}, 50);
    EXPECT_EQ(classify(), Mark::Delete);
    EXPECT_EQ(hits(book.subject, rule), "1");

    book.options.largerOn = true;
    book.options.largerLimit = 100;
    message({"Subject: quiet"}, 100); // exactly the limit: no match
    EXPECT_EQ(classify(1), Mark::None);
    entries[1].mark = Mark::Delete;
    entries[1].size = "101";
    book.options.largerDeletes = false;
    EXPECT_EQ(classify(1), Mark::Question); // the size test overrides a mark left from before
    entries[1].size = "12abc";
    entries[1].mark = Mark::None;
    EXPECT_EQ(classify(1), Mark::None);
}

TEST_F(ClassifierTest, DeleteMarkSkipsTheListsOnALaterPass) {
    const int rule = subjectRule("Contains", "x", false);
    message({"Subject: x"});
    entries[0].mark = Mark::Delete;
    EXPECT_EQ(classify(), Mark::Delete);
    EXPECT_EQ(hits(book.subject, rule), "0");
}

TEST_F(ClassifierTest, ScanOrderAndPrecedence) {
    struct Case {
        const char* name;
        std::vector<std::pair<bool, bool>> rules; // (matches, deletes) per subject rule
        MarkState mark;
        std::vector<std::string> hits;
    };
    const std::vector<Case> cases = {
        {"QuestionThenDelete", {{true, false}, {true, true}}, Mark::Delete, {"1", "1"}},
        {"DeleteThenQuestion", {{true, true}, {true, false}}, Mark::Delete, {"1", "0"}},
        {"QuestionOnly", {{false, true}, {true, false}}, Mark::Question, {"0", "1"}},
        {"Nothing", {{false, true}, {false, false}}, Mark::None, {"0", "0"}},
    };
    for (const Case& c : cases) {
        book = RuleBook();
        entries.clear();
        infos.clear();
        for (const auto& [hit, deletes] : c.rules)
            subjectRule("Equals", hit ? "subject" : "other", deletes);
        message({"Subject: SUBJECT"});
        EXPECT_EQ(classify(), c.mark) << c.name;
        for (size_t i = 0; i < c.hits.size(); ++i)
            EXPECT_EQ(hits(book.subject, static_cast<int>(i) + 1), c.hits[i]) << c.name << " rule " << i + 1;
    }
}

TEST_F(ClassifierTest, UppercaseRuleLooksAtTheSubjectAsWritten) {
    subjectRule("Is UPPERCASE", "", true);
    message({"Subject: Make Money Fast"});
    EXPECT_EQ(classify(), Mark::None);
    message({"Subject: MAKE MONEY FAST"});
    EXPECT_EQ(classify(1), Mark::Delete);
}

TEST_F(ClassifierTest, CaseFlagOfSubjectRules) {
    subjectRule("Contains", "FREE", true, true);
    message({"Subject: free stuff"});
    EXPECT_EQ(classify(), Mark::None);
    message({"Subject: FREE stuff"});
    EXPECT_EQ(classify(1), Mark::Delete);
}

TEST_F(ClassifierTest, SenderRulesTestTheRightPart) {
    struct Case {
        const char* name;
        const char* what;
        const char* condition;
        const char* pattern;
        const char* from;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"AllNumericLocalPart", "E-mail address", "All numeric", "", "From: 12345@spam.example", true},
        {"AllNumericDomainNot", "Domain name", "All numeric", "", "From: 12345@spam.example", false},
        {"AllNumericDomainDigits", "Domain name", "All numeric", "", "From: 1@234", true},
        {"AllNumericEmptyAddress", "E-mail address", "All numeric", "", "X-No-From: 1", true},
        {"UppercaseLocalPart", "E-mail address", "Is UPPERCASE", "", "From: BIGDEAL@lower.example", true},
        {"MixedCaseLocalPart", "E-mail address", "Is UPPERCASE", "", "From: BigDeal@LOWER.EXAMPLE", false},
        {"ContainsWholeAddress", "E-mail address", "Contains", "@SPAM.", "From: a@spam.example", true},
        {"DomainEquals", "Domain name", "Equals", "spam.example", "From: a@SPAM.example", true},
        {"DomainWithoutAt", "Domain name", "Equals", "localonly", "From: localonly", true},
        {"FirstCharNumeric", "E-mail address", "First char numeric", "", "From: 9lives@x.example", true},
        {"BlankAddress", "E-mail address", "Is blank", "", "From: <>", true},
    };
    for (const Case& c : cases) {
        book = RuleBook();
        entries.clear();
        infos.clear();
        senderRule(c.what, c.condition, c.pattern, true);
        message({c.from});
        EXPECT_EQ(classify(), c.matches ? Mark::Delete : Mark::None) << c.name;
    }
}

TEST_F(ClassifierTest, HeaderRowsCountEveryMatchingLineOfAQuestionRule) {
    const int question = headerRule("Starts with", "Received:", false);
    message({"Received: a", "Received: b", "Received: c", "Subject: s"});
    EXPECT_EQ(classify(), Mark::Question);
    EXPECT_EQ(hits(book.header, question), "3");

    const int del = headerRule("Starts with", "Received:", true);
    classify();
    EXPECT_EQ(hits(book.header, question), "6");
    EXPECT_EQ(hits(book.header, del), "1"); // the first matching line of a delete rule ends it
}

TEST_F(ClassifierTest, HeaderQuestionThenMissThenDelete) {
    headerRule("Contains", "X-Mailer: Floodgate", false);
    headerRule("Contains", "nothing here", true);
    headerRule("Contains", "Bulk", true);
    message({"X-Mailer: Floodgate 3", "Precedence: bulk"});
    EXPECT_EQ(classify(), Mark::Delete);
}

TEST_F(ClassifierTest, ToDoesNotContainAppliesToItsMailboxOnly) {
    int mailbox = 3;
    classifier.setMailboxNumber([&mailbox] { return mailbox; });
    headerRule("To does not contain", "me@home.example - MailBox #2", true);
    message({"To: someone@else.example"});
    EXPECT_EQ(classify(), Mark::None);
    mailbox = 2;
    EXPECT_EQ(classify(), Mark::Delete);
    message({"To: \"Me\" <ME@home.example>"});
    EXPECT_EQ(classify(1), Mark::None);
    message({"Subject: no To at all"});
    EXPECT_EQ(classify(2), Mark::None);
}

TEST_F(ClassifierTest, SenderHeaderRules) {
    struct Case {
        const char* name;
        const char* pattern;
        HeaderLines headers;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"NoReplyTo", "does not match Reply-to", {"From: a@x.example"}, false},
        {"ReplyToElsewhere", "does not match Reply-to", {"From: a@x.example", "Reply-to: b@y.example"}, true},
        {"ReplyToSame", "does not match Reply-to", {"From: A@X.example", "Reply-To: Al <a@x.example>"}, false},
        {"ReplyToButNoFrom", "does not match Reply-to", {"Reply-to: b@y.example"}, true},
        {"FromEqualsTo", "equals To field", {"From: me@x.example", "To: <ME@x.example>"}, true},
        {"FromDiffersFromTo", "equals To field", {"From: me@x.example", "To: you@x.example"}, false},
        {"NoTo", "equals To field", {"From: me@x.example"}, false},
    };
    for (const Case& c : cases) {
        book = RuleBook();
        entries.clear();
        infos.clear();
        headerRule("Sender", c.pattern, true);
        message(c.headers);
        EXPECT_EQ(classify(), c.matches ? Mark::Delete : Mark::None) << c.name;
    }
}

TEST_F(ClassifierTest, ClassifiesAllRowsWithMinusOne) {
    subjectRule("Contains", "spam", true);
    message({"Subject: ham"});
    message({"Subject: spam"});
    message({"Subject: more spam"});
    classifier.MarkForDeletion(entries, infos, -1);
    EXPECT_EQ(entries[0].mark, Mark::None);
    EXPECT_EQ(entries[1].mark, Mark::Delete);
    EXPECT_EQ(entries[2].mark, Mark::Delete);
    classifier.MarkForDeletion(entries, infos, 7); // beyond the list: nothing happens
}

TEST_F(ClassifierTest, RuleEditsBetweenCallsAreSeen) {
    const int row = subjectRule("Contains", "old", true);
    message({"Subject: new offer"});
    EXPECT_EQ(classify(), Mark::None);
    book.subject.setCell(SubjectColumn::Matches, row, "new");
    EXPECT_EQ(classify(), Mark::Delete);
}

TEST_F(ClassifierTest, ReasonLinesCharacterForCharacter) {
    book.options.smallerOn = true;
    book.options.smallerDeletes = false;
    subjectRule("Contains", "win", true);
    subjectRule("Is UPPERCASE", "", false);
    subjectRule("Starts with", "YOU", false, true);
    senderRule("Domain name", "Ends with", ".example", false);
    senderRule("E-mail address", "All numeric", "", true);
    headerRule("Contains", "X-Mailer: Floodgate", true, true);
    headerRule("To does not contain", "me@home.example - MailBox #0", false);
    headerRule("Sender", "does not match Reply-to", true);
    message({"From: 123@bulk.example", "Reply-To: other@else.example", "To: you@there.example", "Subject: YOU WIN",
             "X-Mailer: Floodgate 2"},
            10);
    const std::vector<std::string> expected = {
        "Question :  Size smaller than \"100\" ",
        "Delete   :  Subject Contains \"win\" ",
        "Question :  Subject Is UPPERCASE",
        "Question :  Subject Starts with \"YOU\"  (Case Sensitive)",
        "Question :  Domain name Ends with \".example\" ",
        "Delete   :  E-mail address All numeric",
        "Delete   :  Header Contains \"X-Mailer: Floodgate\"  (Case Sensitive)",
        "Question :  Header \"you@there.example\" To does not contain \"me@home.example\" ",
        "Delete   :  Header Sender \"other@else.example does not match Reply-to 123@bulk.example\" ",
    };
    EXPECT_EQ(explain(), expected);
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(hits(book.subject, row), "0"); // explain mode counts nothing
    EXPECT_EQ(entries[0].mark, Mark::Delete);
}

TEST_F(ClassifierTest, ExceptionReasonLines) {
    struct Case {
        std::vector<std::string> exception; // what, condition, matches, case
        std::string line;
    };
    const std::vector<Case> cases = {
        {{"Domain name", "Equals", "x.example", "No"}, "Exception :  Domain name Equals \"x.example\" "},
        {{"E-mail address", "Equals", "a@x.example", "Yes"}, "Exception :  E-mail address Equals \"a@x.example\" "},
        {{"Subject", "Contains", "Hi", "Yes"}, "Exception :  Subject Contains \"Hi\"  (Case Sensitive)"},
        {{"Subject:", "Contains", "hi", "No"}, "Exception :  Subject: Hi there Contains \"hi\" "},
        {{"Any Header", "Starts with", "subject", "No"},
         "Exception :  Any Header Subject: Hi there Starts with \"subject\" "},
    };
    for (const Case& c : cases) {
        book = RuleBook();
        entries.clear();
        infos.clear();
        book.exceptions.addRule({c.exception[0], c.exception[1], c.exception[2], c.exception[3], "0", "", ""});
        message({"From: a@x.example", "Subject: Hi there"});
        EXPECT_EQ(explain(), std::vector<std::string>{c.line});
        EXPECT_EQ(entries[0].mark, 3);
    }
}

TEST_F(ClassifierTest, ExplainModeTriesEveryHeaderLine) {
    exceptionRule("Any Header", "Contains", "ours");
    exceptionRule("Subject", "Contains", "ours"); // the first matching exception ends the test
    message({"X-A: ours", "X-B: ours too", "Subject: ours"});
    EXPECT_EQ(explain(), (std::vector<std::string>{"Exception :  Any Header X-A: ours Contains \"ours\" ",
                                                   "Exception :  Any Header X-B: ours too Contains \"ours\" ",
                                                   "Exception :  Any Header Subject: ours Contains \"ours\" "}));
    EXPECT_EQ(hits(book.exceptions, 1), "0");
}

class FakeSenderChecks : public SenderChecks {
public:
    std::optional<std::string> unknownSenderDomain(const HeaderLines&) override {
        ++domainLookups;
        return unknown;
    }
    std::optional<KnownSpammer> knownSpammer(const std::string& sender) override {
        if (sender == "known@spam.example")
            return KnownSpammer{"E-mail", sender};
        return std::nullopt;
    }
    std::optional<std::string> unknown;
    int domainLookups = 0;
};

TEST_F(ClassifierTest, DomainCheckAndBlacklistHooks) {
    FakeSenderChecks checks;
    classifier.setSenderChecks(&checks);
    checks.unknown = "nowhere.example";
    message({"From: known@spam.example"});
    EXPECT_EQ(explain(), (std::vector<std::string>{
                             "Question :  Reply to or From (nowhere.example)  is an \"Unknown domain\" ",
                             "Delete   :  E-mail \"known@spam.example\" is on the KNOWN SPAMMER BLACKLIST (you may "
                             "edit if this is in error)"}));
    EXPECT_EQ(entries[0].mark, Mark::KnownSpammer);

    book.options.domainCheckDeletes = true;
    entries[0].mark = Mark::None;
    EXPECT_EQ(classify(), Mark::Delete); // a delete mark is never turned into a known-spammer mark

    book.options.domainCheckOn = false;
    book.options.blacklistOn = false;
    const int before = checks.domainLookups;
    entries[0].mark = Mark::None;
    EXPECT_EQ(classify(), Mark::None);
    EXPECT_EQ(checks.domainLookups, before);
}

class TwoAccounts : public MailboxAccountsView {
public:
    std::string server(int n) const override { return n == 2 ? "pop.Example.com" : (n == 5 ? "pop.example.com" : ""); }
    std::string userName(int n) const override { return n == 2 ? "Me" : (n == 5 ? "other" : ""); }
};

TEST(ServerToIndex, FirstMailboxWithServerAndUserFoldedEqual) {
    TwoAccounts accounts;
    EXPECT_EQ(serverToIndex(accounts, "POP.example.com", "me"), 2);
    EXPECT_EQ(serverToIndex(accounts, "pop.example.com", "OTHER"), 5);
    EXPECT_EQ(serverToIndex(accounts, "pop.example.com", "nobody"), 0);
}

// The domain lookup runs the event loop; a Cancel handled meanwhile empties the list.
class ListEmptyingChecks : public SenderChecks {
public:
    explicit ListEmptyingChecks(std::vector<MessageEntry>& entries) : entries_(entries) {}
    std::optional<std::string> unknownSenderDomain(const HeaderLines&) override {
        entries_.clear();
        entries_.shrink_to_fit();
        return "gone.example";
    }
    std::optional<KnownSpammer> knownSpammer(const std::string&) override { return KnownSpammer{"E-mail", "x"}; }

private:
    std::vector<MessageEntry>& entries_;
};

TEST_F(ClassifierTest, ListEmptiedDuringTheDomainLookupEndsTheClassification) {
    ListEmptyingChecks checks(entries);
    classifier.setSenderChecks(&checks);
    message({"From: a@b.example"});
    message({"From: c@d.example"});
    classifier.MarkForDeletion(entries, infos, -1);
    EXPECT_TRUE(entries.empty());
}

} // namespace
} // namespace veltrane
