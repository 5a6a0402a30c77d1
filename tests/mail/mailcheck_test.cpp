#include "mail/mailfixture.h"

#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

using MailCheckTest = test::MailFixture;

TEST_F(MailCheckTest, ListsClassifiesLogsAndSavesHits) {
    ASSERT_TRUE(model.btListClick()) << view.boxes.shown.size();
    ASSERT_EQ(model.entries().size(), 3u);
    EXPECT_EQ(model.entries()[0].subject, "Lunch on Friday?");
    EXPECT_EQ(model.entries()[1].sender, "prize@spam.example");
    EXPECT_EQ(model.entries()[1].mark, Mark::Delete);
    EXPECT_EQ(model.entries()[2].mark, Mark::Question);

    const std::string server = dovecot.address();
    EXPECT_EQ(view.statusTexts(),
              (std::vector<std::string>{
                  "Opening connection for alice on " + server, "Updating headers",
                  "Checking message 1 of 3 total waiting messages", "Checking message 2 of 3 total waiting messages",
                  "Checking message 3 of 3 total waiting messages", "Closing connection", "Connection closed",
                  "3 msg(s) for alice on " + server, "Message Total: 3 Number Marked: 1"}));
    EXPECT_TRUE(view.has("progress shown Retrieving messages ... standby | " + server + " | alice"));
    EXPECT_TRUE(view.has("bar 3/3"));
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(view.progressShown);
    EXPECT_FALSE(view.exitCancelForm);
    EXPECT_TRUE(view.trigger); // given back as it was
    EXPECT_TRUE(view.boxes.shown.empty());

    EXPECT_NE(logText().find("MAIL CHECK 3 msg(s) for \"alice\" on server " + server), std::string::npos);
    // Classified twice during the check: the question rule counts two hits, the delete rule one,
    // since a message marked for deletion skips the lists the second time. Saved at the end.
    const std::string saved = data.read("subj.lst");
    EXPECT_NE(saved.find("5,1,1\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("5,2,2\r\n"), std::string::npos) << saved;
}

TEST_F(MailCheckTest, KeptSessionListsTheSameMessagesWithoutLoggingInAgain) {
    useAccounts({{dovecot.address(), "alice", "secret"}});
    ASSERT_TRUE(model.btListClick());
    EXPECT_TRUE(model.client().Connected()); // no QUIT with only one mailbox
    dovecot.addMessage("alice", test::mail("late@x.example", "Arrived later"));
    view.calls.clear();
    ASSERT_TRUE(model.btListClick());
    EXPECT_EQ(model.entries().size(), 3u); // the session's own view of the mailbox
    const auto texts = view.statusTexts();
    EXPECT_EQ(texts.front(), "Updating headers"); // no new connection
    EXPECT_FALSE(view.has("status Closing connection"));
}

TEST_F(MailCheckTest, WrongPasswordShowsTheServerTextAndStaysBusyUntilCancel) {
    useAccounts({{dovecot.address(), "alice", "wrong"}, {"other.example", "bob", "pw"}});
    EXPECT_FALSE(model.btListClick());
    ASSERT_EQ(view.boxes.shown.size(), 1u);
    EXPECT_EQ(view.boxes.shown[0].kind, "error");
    EXPECT_EQ(view.boxes.shown[0].text.rfind("-ERR", 0), 0u) << view.boxes.shown[0].text;
    EXPECT_TRUE(view.busy);
    EXPECT_TRUE(view.progressShown);
    EXPECT_TRUE(view.exitCancelForm);
    EXPECT_TRUE(model.Checking);
    EXPECT_EQ(logText(), ""); // a refusal is no error record, and the check did not end

    model.cancelClick();
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(view.progressShown);
    EXPECT_FALSE(model.Checking);
    EXPECT_EQ(logText().rfind("OPERATION CANCELED FOR alice ON " + dovecot.address() + " AT ", 0), 0u) << logText();
}

TEST_F(MailCheckTest, HiddenAutomaticRunSwallowsTheFailure) {
    useAccounts({{dovecot.address(), "alice", "wrong"}, {"other.example", "bob", "pw"}});
    model.AutomaticRun = true;
    view.visible = false;
    EXPECT_FALSE(model.btListClick());
    EXPECT_TRUE(view.boxes.shown.empty());
    EXPECT_FALSE(view.busy);
    EXPECT_NE(logText().find("MAIL CHECK 0 msg(s) for \"alice\""), std::string::npos);
    EXPECT_EQ(view.status, "Message Total: 0 Number Marked: 0");
}

TEST_F(MailCheckTest, CancelWhileWaitingLogsCanceledThenErrorAndNoCheck) {
    // One command at a time, so the client is sure to be waiting on the server when Cancel comes.
    model.client().settings().pipelineWindow = 1;
    view.onRow = [this](int row) {
        if (row != 1)
            return;
        dovecot.pause(); // the next reply never comes: the client waits, and Cancel meets it there
        QTimer::singleShot(50, [this] { model.cancelClick(); });
    };
    EXPECT_FALSE(model.btListClick());
    dovecot.resume();
    const std::string log = logText();
    const size_t canceled = log.find("OPERATION CANCELED FOR alice ON " + dovecot.address());
    const size_t error = log.find("ERROR Operation has been canceled FOR alice");
    ASSERT_NE(canceled, std::string::npos) << log;
    ASSERT_NE(error, std::string::npos) << log;
    EXPECT_LT(canceled, error);
    EXPECT_EQ(log.find("MAIL CHECK"), std::string::npos);
    ASSERT_FALSE(view.boxes.shown.empty());
    EXPECT_EQ(view.boxes.shown.back().text, "Operation has been canceled");
    EXPECT_TRUE(model.entries().empty());
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(dovecot.messages("alice").size(), 3u); // nothing removed
}

TEST_F(MailCheckTest, CancelBetweenTwoStepsFailsTheNextCommand) {
    view.onRow = [this](int row) {
        if (row == 1)
            model.cancelClick();
    };
    EXPECT_FALSE(model.btListClick());
    const std::string log = logText();
    EXPECT_NE(log.find("OPERATION CANCELED FOR alice"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR You have to connect to the server first FOR alice"), std::string::npos) << log;
    EXPECT_EQ(log.find("MAIL CHECK"), std::string::npos);
}

TEST_F(MailCheckTest, BlankAccountFieldsStopBeforeAnythingIsSent) {
    struct Case {
        MailboxAccount account;
        const char* error;
    };
    for (const Case& c :
         std::vector<Case>{{{"", " \r\n", "pw"}, "You need to enter your e-mail username in the settings."},
                           {{" ", "alice", "pw"}, "You need to enter the name of your mail server in the settings."}}) {
        view.boxes.shown.clear();
        view.calls.clear();
        // Written straight to the store: the accounts window would refuse such a mailbox.
        SettingsStore store;
        store.WriteString(keys::Server, "Server1", c.account.server);
        store.WriteString(keys::Server, "Mailbox1", c.account.userName);
        ASSERT_TRUE(store.close().ok());
        EXPECT_FALSE(model.btListClick());
        ASSERT_EQ(view.boxes.shown.size(), 1u);
        EXPECT_EQ(view.boxes.shown[0].text, c.error);
        EXPECT_TRUE(view.has("general settings"));
        EXPECT_FALSE(view.has("list cleared"));
    }
    EXPECT_EQ(logText(), "");
}

TEST_F(MailCheckTest, MailboxChoiceOffersTheMailboxesInUse) {
    model.MinutesLeft = 5;
    view.choice = std::nullopt;
    EXPECT_FALSE(model.btListClick());
    EXPECT_EQ(view.choices, (std::vector<std::string>{"1) Mailbox alice - Server " + dovecot.address(),
                                                      "2) Mailbox bob - Server other.example"}));
    EXPECT_TRUE(view.has("choose 0"));
    EXPECT_FALSE(view.has("list cleared")); // cancelled: nothing at all
    EXPECT_EQ(logText(), "");

    model.CurrentMailbox = 2;
    view.choice = 0;
    EXPECT_TRUE(model.btListClick());
    EXPECT_TRUE(view.has("choose 1"));
    EXPECT_EQ(model.CurrentMailbox, 1);
    EXPECT_EQ(model.entries().size(), 3u);
}

TEST_F(MailCheckTest, EmptyMailboxEndsTheProgramWhenAskedTo) {
    test::DovecotServer empty;
    empty.addUser("carol", "pw");
    ASSERT_TRUE(empty.start()) << empty.error();
    useAccounts({{empty.address(), "carol", "pw"}, {"other.example", "bob", "pw"}});
    settings.exit = true;
    settings.automatic = false;
    ASSERT_TRUE(model.btListClick());
    EXPECT_TRUE(view.has("status 0 msg(s) for carol on " + empty.address()));
    EXPECT_EQ(view.status, "Message Total: 0 Number Marked: 0");
    EXPECT_TRUE(view.has("close"));
    EXPECT_NE(logText().find("MAIL CHECK 0 msg(s)"), std::string::npos);

    model.SysTrayMode = true;
    ASSERT_TRUE(model.btListClick());
    EXPECT_TRUE(view.has("hide to tray"));
}

TEST_F(MailCheckTest, ExplainGivesTheReasonsAndKeepsTheMark) {
    ASSERT_TRUE(model.btListClick());
    EXPECT_EQ(model.explain(1), std::vector<std::string>{"Delete   :  Subject Contains \"free\" "});
    EXPECT_EQ(model.entries()[1].mark, Mark::Delete);
    EXPECT_TRUE(model.explain(0).empty());
}

} // namespace
} // namespace veltrane
