#pragma once

#include "activity/activitylog.h"
#include "mail/mainwindowview.h"
#include "mail/pop3client.h"
#include "message/messageentry.h"
#include "rules/classifier.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/textcipher.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace veltrane {

// The main window's state and its mail sequences, without a widget in sight: the message list,
// the POP3 client, the classification and the activity log, and the flags of a check. The window
// is a thin view over it; tests drive it with a recording view against real servers.
class MainModel : public QObject {
    Q_OBJECT
public:
    // The rules, the general settings and the accounts belong to their windows; the model reads
    // them live whenever it needs them.
    MainModel(MainWindowView& view, RuleBook& rules, GeneralSettings& settings, MailboxAccounts& accounts,
              const Clock& clock);
    ~MainModel() override;

    int CurrentMailbox = 1;
    bool Checking = false;
    bool AutomaticRun = false;
    bool SysTrayMode = false;
    int MinutesLeft = 0;

    const std::vector<MessageEntry>& entries() const { return entries_; }
    std::vector<MessageEntry>& entries() { return entries_; }
    Pop3Client& client() { return client_; }
    Classifier& classifier() { return classifier_; }
    ActivityLog& log() { return log_; }
    TextCipher& cipher() { return cipher_; }

    // Checks the current mailbox. Returns false when the check did not run to its end (refused,
    // cancelled, failed); the reason has been shown through the view.
    bool btListClick();
    // The exit button in its Cancel form: stops what the client does and returns to ready.
    void cancelClick();

    // Deletes the marked rows on the server, logs them, counts them and lists the mailbox again.
    // Returns false when nothing was deleted (nothing marked, No, or a failure that was shown).
    bool btDeleteClick();
    bool Deleting = false;
    // Starts the user's mail program (the general settings' Mailer).
    void btLaunchClick();
    // How a program is started; tests put in their own. Returns whether it started.
    using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;
    void setLauncher(Launcher launcher) { launcher_ = std::move(launcher); }
    // Whether a deletion may start the mail program when mail is left (not from a terminal).
    bool launchAllowed = true;
    void UpdateAutomaticCaptions(bool on, int minutes);

    // The context menu's inspection commands on the view's selected rows.
    void ViewHeader1Click();
    void ViewMessages1Click();
    void Why1Click();
    // What those commands show, for the rows given.
    std::string headersText(const std::vector<int>& rows) const;
    std::string reasonsText(int row);
    // The body file of a row index ("msg_" + index + ".eml" in the data folder).
    static QString bodyFile(int index);
    // Deletes the body files of row indexes 0 to 100, left from an earlier run.
    static void CleanUpEMLFiles();
    void NadaSelected();

    // Applies mailbox n's account to the client (the password deciphered).
    Status applyMailbox(int n);
    // Lets a caller put other account fields into the client after each applyMailbox (the
    // headless checker's --server, --user and --password-file).
    void setAccountOverride(std::function<void(Pop3ClientSettings&)> override) {
        accountOverride_ = std::move(override);
    }
    // Writes this run's activity log to another file than the settings name (nothing is saved).
    void setLogFileOverride(QString path) { logFileOverride_ = std::move(path); }
    // The reasons why row `row` is marked: the classification in explain mode, the row's mark kept.
    std::vector<std::string> explain(int row);
    bool OnlyOneMailbox() const { return accounts_.OnlyOneMailbox(); }
    int serverToIndex() const;

    int markedCount() const;
    void ShowTotalCount();
    void enableAllButtons();
    void disableAllButtons();
    void setExitFormNormal();
    void updateCheckButtonImage();
    // Classifies row `index`, or every row for -1, and shows the new marks.
    void MarkForDeletion(int index);

    // The last failure of the client, for callers without a message box (the headless checker).
    const std::string& lastError() const { return lastError_; }

private:
    void msRemotePOP1Open();
    void msRemotePOP1UpdatingInfo();
    void msRemotePOP1NextInfoUpdated(int index);
    void msRemotePOP1Closing();
    void msRemotePOP1Closed();
    void msRemotePOP1InfoUpdated();
    void msRemotePOP1TransferringData();
    void msRemotePOP1DataTransfered();
    void msRemotePOP1Cancel();
    void msRemotePOP1Error(std::string& text);
    void msRemotePOP1Deleting(int index);
    void msRemotePOP1Retrieving(int index);
    void msRemotePOP1Retrieved(int index);
    void msRemotePOP1UserMessageSave(int index, const std::string& data);
    bool DeleteMessages();
    // The inspection commands pause the automatic check and give it back when they end.
    void pauseTrigger();
    void resumeTrigger();
    std::optional<int> oneSelectedRow();

    MainWindowView& view_;
    RuleBook& rules_;
    GeneralSettings& settings_;
    MailboxAccounts& accounts_;
    TextCipher cipher_{std::string(PasswordKey)};
    ServerMemory serverMemory_;
    Pop3Client client_;
    Classifier classifier_;
    ActivityLog log_;
    std::vector<MessageEntry> entries_;
    std::string lastError_;
    std::function<void(Pop3ClientSettings&)> accountOverride_;
    Launcher launcher_;
    QString logFileOverride_;
    int DeleteTotal = 0;
    int DeleteProgress = 0;
};

} // namespace veltrane
