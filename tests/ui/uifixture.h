#pragma once

#include "base/clock.h"
#include "rules/rulebook.h"
#include "servers/pop3/dovecotserver.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/recordingmessageboxes.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "settings/storedaccounts.h"
#include "settings/tempconfighome.h"
#include "settings/textcipher.h"
#include "support/tempfolder.h"
#include "ui/optRetrieve.h"
#include "ui/rmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace veltrane::test {

inline std::string uiMail(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: me@home.example\r\nSubject: " + subject +
           "\r\nDate: Tue, 9 Mar 1999 10:20:30 +0100\r\n\r\nHello,\r\nbody text\r\n";
}

// Runs the event loop until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The main window in temporary settings and data folders, its boxes answered by the test.
class MainWindowFixture : public ::testing::Test {
protected:
    // Start-up values written to the store before the window starts.
    void storeStartupValues(bool sysTray, bool automatic, int minutes) {
        SettingsStore store;
        store.write(keys::SysTray, sysTray);
        store.write(keys::Automatic, automatic);
        store.write(keys::Minutes, minutes);
        ASSERT_TRUE(store.close().ok());
        settings.automatic = automatic;
        settings.minutes = minutes;
    }

    void useAccounts(const std::vector<MailboxAccount>& list) { storeAccounts(accounts, cipher, list); }

    // A Dovecot with three messages, one of them caught by a delete rule and one by a question rule.
    void startMailbox() {
        dovecot.addUser("alice", "secret");
        ASSERT_TRUE(dovecot.start()) << dovecot.error();
        dovecot.addMessage("alice", uiMail("Friend <friend@home.example>", "Lunch on Friday?"));
        dovecot.addMessage("alice", uiMail("\"Winner\" <prize@spam.example>", "You WIN a free cruise"));
        dovecot.addMessage("alice", uiMail("news@list.example", "Weekly notes"));
        rules.subject.addRule({"", "Contains", "free", "No", "Yes", "0"});
        rules.subject.addRule({"", "Contains", "notes", "No", "No", "0"});
        rules.options.domainCheckOn = false; // the domains here exist nowhere
        useAccounts({{dovecot.address(), "alice", "secret"}});
    }

    void open(TfrmMain::Options options = {}) {
        window = std::make_unique<TfrmMain>(TfrmMain::Parts{rules, settings, accounts, clock, boxes}, nullptr, options);
        progress = std::make_unique<TfrmRetrieving>(window.get());
        window->setProgressWindow(progress.get());
        QCoreApplication::processEvents(); // the window shows itself once start-up is through
    }

    void TearDown() override {
        progress.reset();
        window.reset();
    }

    // A key released in the message list, as the user would.
    void release(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyRelease(window->ListView1, key, modifiers);
    }

    std::vector<std::string> shownTexts() const {
        std::vector<std::string> texts;
        for (const auto& s : boxes.shown)
            texts.push_back(s.kind + ": " + s.text);
        return texts;
    }

    TempConfigHome config;
    TempDataFolder data;
    DovecotServer dovecot;
    RuleBook rules;
    GeneralSettings settings;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    FixedClock clock{QDateTime(QDate(2026, 12, 11), QTime(9, 30))};
    RecordingMessageBoxes boxes;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TfrmRetrieving> progress;
};

} // namespace veltrane::test
