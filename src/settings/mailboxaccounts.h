#pragma once

#include "base/status.h"
#include "rules/mailboxes.h"
#include "settings/pop3clientsettings.h"

#include <array>
#include <string>
#include <vector>

namespace veltrane {

class MessageBoxes;
class TextCipher;
struct GeneralSettings;

// One POP3 mailbox. Texts are kept as typed: nothing is trimmed, and blanks are not empty.
struct MailboxAccount {
    std::string server; // empty: the mailbox is not in use
    std::string userName;
    std::string password; // plain text; only its enciphered form is stored

    bool operator==(const MailboxAccount&) const = default;
};

// The twelve accounts as the general settings window holds them, for the whole run.
class MailboxAccounts final : public MailboxAccountsView {
public:
    // Mailbox n counts from 1 to Count; another n throws std::out_of_range.
    MailboxAccount& account(int n) { return accounts_.at(static_cast<size_t>(n - 1)); }
    const MailboxAccount& account(int n) const { return accounts_.at(static_cast<size_t>(n - 1)); }

    // Empty for a number outside 1 to Count.
    std::string server(int n) const override;
    std::string userName(int n) const override;

    // Every n whose server is not empty, in increasing order.
    std::vector<int> mailboxesInUse() const;
    // Mailbox 1 has a server and no other has one.
    bool OnlyOneMailbox() const;

    int which = 1;    // Which as last read from the store, even when it was no mailbox number
    int selected = 1; // the mailbox selected on the window, always 1 to Count

    bool operator==(const MailboxAccounts& other) const {
        return accounts_ == other.accounts_ && which == other.which && selected == other.selected;
    }

private:
    std::array<MailboxAccount, Count> accounts_{};
};

// Loads the log naming (section Logfile) into the settings, then Which and the twelve accounts.
// A Which of 1 to 12 becomes the selection; another leaves the selection as it was. A stored
// password is deciphered into the account; an empty one leaves the account's password as typed.
// A value that cannot be read or deciphered stops the load there with its error.
Status readServerSettings(GeneralSettings& settings, MailboxAccounts& accounts, TextCipher& cipher);

// The outcome of saving the accounts: which mailbox is faulty and which of its fields is missing.
struct AccountsSaveResult {
    enum class Field { None, Server, UserName, Password };
    Status status = Status::success();
    int mailbox = 0;             // the faulty mailbox, or 0
    Field missing = Field::None; // the field to put the focus on

    bool ok() const { return status.ok(); }
};

// Writes Which (the selected mailbox) and the accounts in order, each checked just after it is
// written: a server without a user name, a user name without a server, or both without a password
// stops the save with its error. The faulty mailbox has been written; those after it keep their
// stored values.
AccountsSaveResult saveServerSettings(const MailboxAccounts& accounts, TextCipher& cipher);

// The warning shown once when the store still holds passwords of an earlier cipher.
inline constexpr const char* RetypePasswordsWarning =
    "Warning: You will have to re-enter your passwords for all of your mailboxes!  Sorry for the inconvenience.";

// Loads stored account n into the POP3 client's settings, the password deciphered. The first call
// on a store without the current-cipher marker sets the marker and, when mailbox n has a stored
// password, shows the warning, empties all twelve stored passwords and loads nothing. The windows
// hide the splash window before they show that warning.
Status GetRemotePOPSettings(int n, Pop3ClientSettings& client, TextCipher& cipher, MessageBoxes& boxes);

} // namespace veltrane
