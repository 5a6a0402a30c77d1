#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/recordingmessageboxes.h"
#include "settings/settingsstore.h"
#include "settings/tempconfighome.h"
#include "settings/textcipher.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

class MailboxAccountsTest : public ::testing::Test {
protected:
    std::string stored(const std::string& name) { return SettingsStore().ReadString("Server", name, "<missing>"); }
    void put(const std::string& name, const std::string& text) {
        SettingsStore s;
        s.WriteString("Server", name, text);
        ASSERT_TRUE(s.close().ok());
    }
    std::string enciphered(const std::string& password) { return TextCipher::CipherText(password, PasswordKey, true); }
    // Accounts 1 to 12 stored as "pop<n>.example", "user<n>", "pw<n>" with the marker set.
    void storeTwelve() {
        SettingsStore s;
        s.WriteString("Server", "Version161", "161");
        for (int n = 1; n <= 12; ++n) {
            s.WriteString("Server", "Server" + std::to_string(n), "pop" + std::to_string(n) + ".example");
            s.WriteString("Server", "Mailbox" + std::to_string(n), "user" + std::to_string(n));
            s.WriteString("Server", "Passwd" + std::to_string(n), enciphered("pw" + std::to_string(n)));
        }
        ASSERT_TRUE(s.close().ok());
    }

    test::TempConfigHome home;
    TextCipher cipher{std::string(PasswordKey)};
    GeneralSettings general;
    test::RecordingMessageBoxes boxes;
};

TEST_F(MailboxAccountsTest, SaveThenLoadGivesTheSameAccounts) {
    MailboxAccounts accounts;
    accounts.account(1) = {"pop.example.com", "alice", "s3cret"};
    accounts.account(4) = {"pop3s://mail.example.org:995", "bob@example.org", "p\xC3\xA4ss word"};
    accounts.account(7) = {"", "", "only a password"};
    accounts.selected = 4;
    const AccountsSaveResult result = saveServerSettings(accounts, cipher);
    ASSERT_TRUE(result.ok()) << result.status.error();
    EXPECT_EQ(stored("Which"), "4");
    EXPECT_EQ(stored("Passwd2"), "");
    EXPECT_EQ(stored("Passwd1").size(), 2 + 2 * 6u);
    EXPECT_EQ(stored("Passwd1").find_first_not_of("0123456789ABCDEF"), std::string::npos);

    MailboxAccounts loaded;
    ASSERT_TRUE(readServerSettings(general, loaded, cipher).ok());
    loaded.which = accounts.which;
    EXPECT_EQ(loaded, accounts);
}

TEST_F(MailboxAccountsTest, ASaveStopsAtTheFirstFaultyMailboxAndLeavesTheRestAsStored) {
    storeTwelve();
    MailboxAccounts accounts;
    for (int n = 1; n <= 12; ++n)
        accounts.account(n) = {"new" + std::to_string(n), "newuser" + std::to_string(n), "newpw"};
    accounts.account(3).userName.clear();
    const AccountsSaveResult result = saveServerSettings(accounts, cipher);
    EXPECT_EQ(result.status.error(), "Mailbox 3 has a server new3 but no mailbox");
    EXPECT_EQ(result.mailbox, 3);
    EXPECT_EQ(result.missing, AccountsSaveResult::Field::UserName);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(stored("Server" + std::to_string(n)), "new" + std::to_string(n));
    EXPECT_EQ(stored("Mailbox3"), ""); // the faulty mailbox itself is written
    for (int n = 4; n <= 12; ++n) {
        EXPECT_EQ(stored("Server" + std::to_string(n)), "pop" + std::to_string(n) + ".example");
        EXPECT_EQ(stored("Mailbox" + std::to_string(n)), "user" + std::to_string(n));
        EXPECT_EQ(TextCipher::decipher(stored("Passwd" + std::to_string(n)), PasswordKey), "pw" + std::to_string(n));
    }
}

TEST_F(MailboxAccountsTest, TheThreeAccountChecks) {
    struct {
        MailboxAccount account;
        const char* error; // empty: saves
        AccountsSaveResult::Field missing;
    } const cases[] = {
        {{"pop.x", "", "pw"}, "Mailbox 2 has a server pop.x but no mailbox", AccountsSaveResult::Field::UserName},
        {{"", "carol", ""}, "Mailbox 2 carol has a blank server", AccountsSaveResult::Field::Server},
        {{"pop.x", "carol", ""}, "Mailbox 2 - there is no password set", AccountsSaveResult::Field::Password},
        {{" ", " ", "pw"}, "", AccountsSaveResult::Field::None}, // blanks are not empty
        {{"", "", "pw"}, "", AccountsSaveResult::Field::None},   // a password alone is fine
    };
    for (const auto& c : cases) {
        MailboxAccounts accounts;
        accounts.account(1) = {"pop.example", "me", "pw"};
        accounts.account(2) = c.account;
        const AccountsSaveResult result = saveServerSettings(accounts, cipher);
        EXPECT_EQ(result.ok() ? std::string() : result.status.error(), c.error);
        EXPECT_EQ(result.missing, c.missing) << c.error;
        EXPECT_EQ(result.mailbox, result.ok() ? 0 : 2);
    }
}

TEST_F(MailboxAccountsTest, AWhichOutsideOneToTwelveLeavesTheSelection) {
    for (const char* which : {"0", "13", "-2"}) {
        put("Which", which);
        MailboxAccounts accounts;
        accounts.selected = 5;
        ASSERT_TRUE(readServerSettings(general, accounts, cipher).ok());
        EXPECT_EQ(accounts.selected, 5) << which;
        EXPECT_EQ(accounts.which, std::stoi(which));
    }
    put("Which", "9");
    MailboxAccounts accounts;
    ASSERT_TRUE(readServerSettings(general, accounts, cipher).ok());
    EXPECT_EQ(accounts.selected, 9);
}

TEST_F(MailboxAccountsTest, LoadingKeepsATypedPasswordWhereNoneIsStoredAndReadsTheNaming) {
    put("Server1", "pop.example");
    put("Mailbox1", "me");
    put("Passwd1", "");
    {
        SettingsStore s;
        s.WriteString("Logfile", "Quarter", "1");
        ASSERT_TRUE(s.close().ok());
    }
    MailboxAccounts accounts;
    accounts.account(1).password = "typed";
    ASSERT_TRUE(readServerSettings(general, accounts, cipher).ok());
    EXPECT_EQ(accounts.account(1).password, "typed");
    EXPECT_EQ(general.logNaming, LogNaming::Quarter);
}

TEST_F(MailboxAccountsTest, AStoredPasswordThatIsNoCipherTextStopsTheLoad) {
    put("Server2", "pop.example");
    put("Passwd2", "0D");
    put("Server3", "later.example");
    MailboxAccounts accounts;
    const Status status = readServerSettings(general, accounts, cipher);
    EXPECT_EQ(status.error(), "'$' is not a valid integer value");
    EXPECT_EQ(accounts.server(2), "pop.example");
    EXPECT_EQ(accounts.server(3), ""); // not reached
}

TEST_F(MailboxAccountsTest, OldPasswordsAreClearedOnceWithAWarning) {
    // An installation from before the current cipher: passwords stored, no marker.
    {
        SettingsStore s;
        for (int n = 1; n <= 12; ++n) {
            s.WriteString("Server", "Server" + std::to_string(n), "pop" + std::to_string(n));
            s.WriteString("Server", "Mailbox" + std::to_string(n), "user" + std::to_string(n));
            s.WriteString("Server", "Passwd" + std::to_string(n), "OLDFORM" + std::to_string(n));
        }
        ASSERT_TRUE(s.close().ok());
    }
    Pop3ClientSettings client{"kept.server", "kept.user", "kept.password"};
    ASSERT_TRUE(GetRemotePOPSettings(3, client, cipher, boxes).ok());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], (test::RecordingMessageBoxes::Shown{"warning", RetypePasswordsWarning}));
    EXPECT_EQ(client, (Pop3ClientSettings{"kept.server", "kept.user", "kept.password"})); // nothing loaded
    EXPECT_EQ(stored("Version161"), "161");
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(stored("Passwd" + std::to_string(n)), "");

    // The next load works normally and finds the account without its password.
    ASSERT_TRUE(GetRemotePOPSettings(3, client, cipher, boxes).ok());
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(client, (Pop3ClientSettings{"pop3", "user3", ""}));
}

TEST_F(MailboxAccountsTest, AFreshStorePassesTheMarkerWithoutAWarning) {
    Pop3ClientSettings client{"a", "b", "c"};
    ASSERT_TRUE(GetRemotePOPSettings(1, client, cipher, boxes).ok());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(client, (Pop3ClientSettings{"a", "b", "c"}));
    EXPECT_EQ(stored("Version161"), "161");
    // A marker without a stored password for the asked mailbox does not clear the others.
    put("Version161", "150");
    put("Passwd2", "OLD");
    ASSERT_TRUE(GetRemotePOPSettings(1, client, cipher, boxes).ok());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(stored("Passwd2"), "OLD");
}

TEST_F(MailboxAccountsTest, WithTheMarkerTheAccountIsLoadedDeciphered) {
    storeTwelve();
    Pop3ClientSettings client;
    ASSERT_TRUE(GetRemotePOPSettings(12, client, cipher, boxes).ok());
    EXPECT_EQ(client, (Pop3ClientSettings{"pop12.example", "user12", "pw12"}));
    EXPECT_TRUE(boxes.shown.empty());

    put("Passwd5", "");
    ASSERT_TRUE(GetRemotePOPSettings(5, client, cipher, boxes).ok());
    EXPECT_EQ(client, (Pop3ClientSettings{"pop5.example", "user5", ""}));

    put("Passwd6", "06G");
    const Status status = GetRemotePOPSettings(6, client, cipher, boxes);
    EXPECT_EQ(status.error(), "'$G' is not a valid integer value");
    EXPECT_EQ(client, (Pop3ClientSettings{"pop5.example", "user5", ""})); // left as it was
}

TEST_F(MailboxAccountsTest, QueriesOnTheLiveCopy) {
    MailboxAccounts accounts;
    EXPECT_FALSE(accounts.OnlyOneMailbox());
    EXPECT_TRUE(accounts.mailboxesInUse().empty());
    accounts.account(1) = {"pop.one", "Me", "x"};
    EXPECT_TRUE(accounts.OnlyOneMailbox());
    accounts.account(9) = {"POP.Nine", "Other", ""};
    accounts.account(11) = {"pop.one", "me", ""};
    accounts.account(4) = {"", "orphan", ""};
    EXPECT_FALSE(accounts.OnlyOneMailbox());
    EXPECT_EQ(accounts.mailboxesInUse(), (std::vector<int>{1, 9, 11}));

    accounts.account(1).server.clear();
    accounts.account(9).server.clear();
    accounts.account(11).server.clear();
    accounts.account(12).server = "x";
    EXPECT_FALSE(accounts.OnlyOneMailbox()); // mailbox 1 must be the one

    accounts.account(1).server = "pop.one";
    accounts.account(9).server = "POP.Nine";
    accounts.account(11).server = "pop.one";
    const MailboxAccountsView& view = accounts;
    EXPECT_EQ(serverToIndex(view, "pop.nine", "OTHER"), 9);
    EXPECT_EQ(serverToIndex(view, "POP.ONE", "me"), 1); // the smallest of two
    EXPECT_EQ(serverToIndex(view, "pop.one", "nobody"), 0);
    EXPECT_EQ(view.server(13), "");
    EXPECT_THROW(accounts.account(0), std::out_of_range);
}

} // namespace
} // namespace veltrane
