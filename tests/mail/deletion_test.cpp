#include "mail/mailfixture.h"
#include "servers/pop3/scriptedpop3server.h"
#include "settings/generalsettings.h"
#include "settings/storedaccounts.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

// Five messages, three of them spam by the subject rule "free".
class DeletionTest : public test::MailFixture {
protected:
    void SetUp() override {
        MailFixture::SetUp();
        dovecot.addMessage("alice", test::mail("a@spam.example", "free pills"));
        dovecot.addMessage("alice", test::mail("b@spam.example", "free money"));
        settings.ask = true;
        settings.automatic = false;
        settings.launch = false;
        model.setLauncher([this](const QString& program, const QStringList&) {
            launched.push_back(program.toStdString());
            return true;
        });
        settings.mailer = "/usr/bin/mailreader";
        ASSERT_TRUE(model.btListClick());
        ASSERT_EQ(model.markedCount(), 3);
        view.calls.clear();
        view.boxes.shown.clear();
    }

    std::vector<std::string> subjectsOnServer() const {
        std::vector<std::string> subjects;
        for (const std::string& m : dovecot.messages("alice")) {
            const size_t at = m.find("Subject: ");
            subjects.push_back(m.substr(at + 9, m.find("\r\n", at) - at - 9));
        }
        return subjects;
    }

    std::vector<std::string> launched;
};

TEST_F(DeletionTest, ThreeOfFiveAfterTheQuestionRemovesThemCountsAndListsAgain) {
    view.boxes.setNextAnswer(true);
    ASSERT_TRUE(model.btDeleteClick());
    EXPECT_EQ(view.boxes.shown,
              (std::vector<test::RecordingMessageBoxes::Shown>{{"confirm", "Really delete 3 messages from server?"}}));
    EXPECT_EQ(subjectsOnServer(), (std::vector<std::string>{"Lunch on Friday?", "Weekly notes"}));
    EXPECT_EQ(model.entries().size(), 2u); // listed again
    EXPECT_EQ(view.status, "There were 3 messages deleted");
    EXPECT_TRUE(view.has("tray hint 3 spams deleted"));
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(view.exitCancelForm);
    EXPECT_TRUE(launched.empty());

    const std::string log = logText();
    size_t blocks = 0;
    for (size_t at = log.find("DELETE SPAM on "); at != std::string::npos; at = log.find("DELETE SPAM on ", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, 3u);
    EXPECT_NE(log.find("free pills"), std::string::npos);
    EXPECT_EQ(log.find("Lunch on Friday?"), std::string::npos);

    GeneralSettings stored;
    ASSERT_TRUE(ReadGeneralSettings(stored).ok());
    EXPECT_EQ(stored.count, "3");
}

TEST_F(DeletionTest, NoKeepsEverything) {
    view.boxes.setNextAnswer(false);
    EXPECT_FALSE(model.btDeleteClick());
    EXPECT_EQ(dovecot.messages("alice").size(), 5u);
    EXPECT_EQ(model.markedCount(), 3);
    EXPECT_EQ(logText().find("DELETE SPAM"), std::string::npos);
}

TEST_F(DeletionTest, LaunchInsteadOfListingAgainWhenMailIsLeft) {
    settings.launch = true;
    view.boxes.setNextAnswer(true);
    ASSERT_TRUE(model.btDeleteClick());
    EXPECT_EQ(dovecot.messages("alice").size(), 2u);
    EXPECT_TRUE(model.entries().empty()); // not listed again
    EXPECT_EQ(launched, std::vector<std::string>{"/usr/bin/mailreader"});
}

TEST_F(DeletionTest, NothingMarked) {
    for (auto& e : model.entries())
        e.mark = Mark::Question;
    EXPECT_FALSE(model.btDeleteClick());
    EXPECT_EQ(view.boxes.shown, (std::vector<test::RecordingMessageBoxes::Shown>{
                                    {"information", "There were no messages marked to delete!"}}));
    settings.ask = false;
    view.boxes.shown.clear();
    EXPECT_FALSE(model.btDeleteClick());
    EXPECT_TRUE(view.boxes.shown.empty());
    EXPECT_EQ(dovecot.messages("alice").size(), 5u);
}

TEST_F(DeletionTest, OnlyDeleteAndKnownSpammerMarksGo) {
    settings.ask = false;
    model.entries()[0].mark = Mark::KnownSpammer; // "Lunch on Friday?"
    model.entries()[3].mark = 7;                  // "free pills", accepted by an exception
    model.entries()[4].mark = Mark::Question;     // "free money"
    ASSERT_TRUE(model.btDeleteClick());
    EXPECT_EQ(subjectsOnServer(), (std::vector<std::string>{"Weekly notes", "free pills", "free money"}));
}

TEST_F(DeletionTest, MailboxChangedUnderneathStopsWithIdsAreDifferent) {
    settings.ask = false;
    dovecot.removeMessage("alice", 0); // the mail program fetched the first message meanwhile
    EXPECT_FALSE(model.btDeleteClick());
    ASSERT_FALSE(view.boxes.shown.empty());
    EXPECT_EQ(view.boxes.shown.back().text, "IDs are different");
    EXPECT_NE(logText().find("ERROR IDs are different FOR alice"), std::string::npos);
    EXPECT_TRUE(view.busy); // until Cancel
    model.cancelClick();
    EXPECT_EQ(dovecot.messages("alice").size(), 4u); // nothing wrong removed
    EXPECT_EQ(model.markedCount(), 3);               // the rows keep their marks
    GeneralSettings stored;
    ASSERT_TRUE(ReadGeneralSettings(stored).ok());
    EXPECT_EQ(stored.count, "0");
}

TEST_F(DeletionTest, KeptSessionDeletesInTheSameSession) {
    useAccounts({{dovecot.address(), "alice", "secret"}});
    settings.ask = false;
    ASSERT_TRUE(model.btListClick());
    ASSERT_TRUE(model.client().Connected());
    ASSERT_TRUE(model.btDeleteClick());
    EXPECT_EQ(dovecot.messages("alice").size(), 2u);
}

// What Dovecot will not do: refuse a DELE. The run goes on and the message counts as deleted.
TEST(DeletionScripted, NegativeDeleReplyStillCounts) {
    const std::string login = "S: +OK ready\nC: CAPA\nS: -ERR unknown command\nC: USER joe\nS: +OK\n"
                              "C: PASS secret\nS: +OK\nC: STAT\nS: +OK 2 200\n";
    auto message = [](int n) {
        const std::string i = std::to_string(n);
        return "C: LIST " + i + "\nS: +OK " + i + " 100\nC: TOP " + i + " 1\nS: +OK\nS: Subject: message " + i +
               "\nS: Message-ID: <" + i + "@x>\nS:\nS: body\nS: .\n";
    };
    const std::string listing = login + message(1) + message(2) + "C: QUIT\nS: +OK bye\nCLOSE\n";
    test::ScriptedPop3Server server(
        {listing, login + message(1) + "C: DELE 1\nS: -ERR message is locked\n" + "C: QUIT\nS: +OK bye\nCLOSE\n",
         listing});
    test::TempConfigHome config;
    test::TempDataFolder data;
    test::RecordingView view;
    RuleBook rules;
    rules.subject.addRule({"", "Equals", "message 1", "No", "Yes", "0"});
    GeneralSettings settings;
    settings.logFile = data.file("logfile.txt");
    settings.ask = false;
    settings.launch = false;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    test::storeAccounts(accounts, cipher, {{server.address(), "joe", "secret"}, {"other.example", "bob", "pw"}});
    FixedClock clock{QDateTime(QDate(2026, 12, 11), QTime(9, 30))};
    MainModel model{view, rules, settings, accounts, clock};

    ASSERT_TRUE(model.btListClick());
    ASSERT_EQ(model.markedCount(), 1);
    ASSERT_TRUE(model.btDeleteClick()) << (view.boxes.shown.empty() ? "" : view.boxes.shown.back().text);
    EXPECT_TRUE(server.problems().empty()) << server.problems().front();
    EXPECT_EQ(view.status, "There were 1 messages deleted");
    EXPECT_NE(data.read("logfile.txt").find("DELETE SPAM on "), std::string::npos);
    GeneralSettings stored;
    ASSERT_TRUE(ReadGeneralSettings(stored).ok());
    EXPECT_EQ(stored.count, "1");
}

} // namespace
} // namespace veltrane
