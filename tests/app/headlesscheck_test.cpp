#include "app/headlesscheck.h"
#include "servers/pop3/dovecotserver.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/storedaccounts.h"
#include "settings/tempconfighome.h"
#include "settings/textcipher.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace veltrane {
namespace {

class HeadlessCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        dovecot.addUser("alice", "secret");
        ASSERT_TRUE(dovecot.start()) << dovecot.error();
        dovecot.addMessage("alice", "From: Friend <friend@home.example>\r\nSubject: Lunch\r\n"
                                    "Date: Tue, 9 Mar 1999 10:20:30 +0100\r\n\r\nHi\r\n");
        dovecot.addMessage("alice", "From: prize@spam.example\r\nSubject: Free\tmoney\r\n\r\nBuy\r\n");
        // No DNS here: the sender-domain check has its own tests against a real DNS server.
        data.write("veltrane.ini", "[Known]\r\nValid=0\r\n");
        data.write("subj.lst", "6,3\r\n1,1,Contains\r\n2,1,free\r\n3,1,No\r\n4,1,Yes\r\n5,1,0\r\n");

        MailboxAccounts accounts;
        TextCipher cipher{std::string(PasswordKey)};
        test::storeAccounts(accounts, cipher,
                            {{dovecot.address(), "alice", "secret"}, {"elsewhere.example", "bob", "pw"}});
    }

    int run(const QStringList& arguments) {
        out.str("");
        err.str("");
        return runHeadlessCheck(QStringList{"veltrane-check"} + arguments, out, err);
    }

    test::TempConfigHome config;
    test::TempDataFolder data;
    test::DovecotServer dovecot;
    std::ostringstream out, err;
};

TEST_F(HeadlessCheckTest, PrintsOneLinePerMessageThenTheStatus) {
    ASSERT_EQ(run({"--log", data.file("check.log")}), 0) << err.str();
    EXPECT_EQ(out.str(), "1\t-1\t" + std::to_string(dovecot.messages("alice")[0].size()) +
                             "\tfriend@home.example\tLunch\t3/9/1999 10:20:30 AM\n"
                             "2\t0\t" +
                             std::to_string(dovecot.messages("alice")[1].size()) +
                             "\tprize@spam.example\tFree money\t\n"
                             "Message Total: 2 Number Marked: 1\n");
    EXPECT_NE(data.read("check.log").find("MAIL CHECK 2 msg(s) for \"alice\""), std::string::npos);
    EXPECT_NE(data.read("subj.lst").find("5,1,1\r\n"), std::string::npos); // hits saved
}

TEST_F(HeadlessCheckTest, ExplainsAMessage) {
    ASSERT_EQ(run({"--explain", "2"}), 0) << err.str();
    EXPECT_NE(out.str().find("\nDelete   :  Subject Contains \"free\" \n"), std::string::npos) << out.str();
}

TEST_F(HeadlessCheckTest, RunFieldsReplaceTheAccountWithoutSavingIt) {
    data.write("pw", "wrong\n");
    EXPECT_EQ(run({"--password-file", data.file("pw")}), 1);
    EXPECT_EQ(err.str().rfind("-ERR", 0), 0u) << err.str();
    EXPECT_EQ(out.str(), "");
    // The stored password is untouched: the next run without the option logs in.
    EXPECT_EQ(run({}), 0) << err.str();
}

TEST_F(HeadlessCheckTest, UnreachableServerFailsWithItsText) {
    EXPECT_EQ(run({"--mailbox", "2", "--server", "127.0.0.1:1"}), 1);
    EXPECT_FALSE(err.str().empty());
}

TEST_F(HeadlessCheckTest, DeleteRemovesTheMarkedMessagesAndLogsThem) {
    ASSERT_EQ(run({"--delete", "--log", data.file("check.log")}), 0) << err.str();
    EXPECT_NE(out.str().find("Message Total: 2 Number Marked: 1\nThere were 1 messages deleted\n"), std::string::npos)
        << out.str();
    ASSERT_EQ(dovecot.messages("alice").size(), 1u);
    EXPECT_NE(dovecot.messages("alice")[0].find("Subject: Lunch"), std::string::npos);
    EXPECT_NE(data.read("check.log").find("DELETE SPAM on "), std::string::npos);
    GeneralSettings stored;
    ASSERT_TRUE(ReadGeneralSettings(stored).ok());
    EXPECT_EQ(stored.count, "1");
    EXPECT_NE(stored.logFile, data.file("check.log")); // the run's log is not the user's setting

    // Nothing marked any more: nothing to do, and no error.
    ASSERT_EQ(run({"--delete"}), 0) << err.str();
    EXPECT_EQ(dovecot.messages("alice").size(), 1u);
}

TEST_F(HeadlessCheckTest, ChecksOverTlsAndThenWithTheServerKnown) {
    test::DovecotServer secure(test::DovecotServer::Options{true});
    secure.addUser("alice", "secret");
    ASSERT_TRUE(secure.start()) << secure.error();
    for (const auto& message : dovecot.messages("alice"))
        secure.addMessage("alice", message);
    qputenv("VELTRANE_CA_FILE", secure.caFile().toUtf8());
    const std::unique_ptr<void, void (*)(void*)> authority(&secure, [](void*) { qunsetenv("VELTRANE_CA_FILE"); });
    const std::string port = std::to_string(secure.port());
    for (const std::string& server :
         {"pop3s://localhost:" + std::to_string(secure.tlsPort()), "localhost:" + port /* STLS */})
        for (int round = 1; round <= 2; ++round) {
            SCOPED_TRACE(server + " round " + std::to_string(round));
            ASSERT_EQ(run({"--server", QString::fromStdString(server)}), 0) << err.str();
            EXPECT_NE(out.str().find("\tprize@spam.example\tFree money\t\nMessage Total: 2 Number Marked: 1\n"),
                      std::string::npos)
                << out.str();
        }
    EXPECT_NE(data.read("pop3servers.txt").find("pop3s://localhost:"), std::string::npos);
}

TEST_F(HeadlessCheckTest, WrongArgumentsExitWithTwo) {
    for (const QStringList& args :
         {QStringList{"--mailbox", "13"}, QStringList{"--mailbox", "x"}, QStringList{"--bogus"}, QStringList{"extra"},
          QStringList{"--explain", "0"}, QStringList{"--password-file", "/no/such/file"}})
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
}

} // namespace
} // namespace veltrane
