#pragma once

#include "mail/mainmodel.h"
#include "mail/recordingview.h"
#include "servers/pop3/dovecotserver.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "settings/storedaccounts.h"
#include "settings/tempconfighome.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace veltrane::test {

inline std::string mail(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: me@home.example\r\nSubject: " + subject +
           "\r\nDate: Tue, 9 Mar 1999 10:20:30 +0100\r\n\r\nHello,\r\nbody text\r\n";
}

// A check against a real Dovecot, with settings, rules and log in temporary folders.
class MailFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dovecot.addUser("alice", "secret");
        ASSERT_TRUE(dovecot.start()) << dovecot.error();
        dovecot.addMessage("alice", mail("Friend <friend@home.example>", "Lunch on Friday?"));
        dovecot.addMessage("alice", mail("\"Winner\" <prize@spam.example>", "You WIN a free cruise"));
        dovecot.addMessage("alice", mail("news@list.example", "Weekly notes"));

        settings.logFile = data.file("logfile.txt");
        rules.subject.addRule({"", "Contains", "free", "No", "Yes", "0"});
        rules.subject.addRule({"", "Contains", "notes", "No", "No", "0"});
        useAccounts({{dovecot.address(), "alice", "secret"}, {"other.example", "bob", "pw"}});
        model.MinutesLeft = 0;
    }

    void useAccounts(const std::vector<MailboxAccount>& list) { storeAccounts(accounts, cipher, list); }

    std::string logText() const { return data.read("logfile.txt"); }

    TempConfigHome config;
    TempDataFolder data;
    DovecotServer dovecot;
    RecordingView view;
    RuleBook rules;
    GeneralSettings settings;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    FixedClock clock{QDateTime(QDate(2026, 12, 11), QTime(9, 30))};
    MainModel model{view, rules, settings, accounts, clock};
};

} // namespace veltrane::test
