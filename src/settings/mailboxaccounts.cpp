#include "settings/mailboxaccounts.h"

#include "settings/generalsettings.h"
#include "settings/messageboxes.h"
#include "settings/settingsstore.h"
#include "settings/textcipher.h"

namespace veltrane {

namespace {

std::string serverName(int n) {
    return numberedName(keys::ServerPrefix, n);
}
std::string mailboxName(int n) {
    return numberedName(keys::MailboxPrefix, n);
}
std::string passwdName(int n) {
    return numberedName(keys::PasswdPrefix, n);
}

std::string readAccountValue(const SettingsStore& store, const std::string& name) {
    return store.ReadString(keys::Server, name, keys::AccountFallback);
}

// The plain password of a stored text; the error of a text that is not enciphered throws.
std::string decipherWith(TextCipher& cipher, const std::string& stored) {
    cipher.setInput(stored);
    cipher.setAction(TextCipher::atDecryption);
    const Status status = cipher.Execute();
    if (!status.ok())
        throw CipherConversionError(status.error());
    return cipher.Output();
}

std::string encipherWith(TextCipher& cipher, const std::string& plain) {
    cipher.setInput(plain);
    cipher.setAction(TextCipher::atEncryption);
    (void)cipher.Execute(); // encryption cannot fail
    return cipher.Output();
}

} // namespace

std::string MailboxAccounts::server(int n) const {
    return n >= 1 && n <= Count ? accounts_[static_cast<size_t>(n - 1)].server : std::string();
}

std::string MailboxAccounts::userName(int n) const {
    return n >= 1 && n <= Count ? accounts_[static_cast<size_t>(n - 1)].userName : std::string();
}

std::vector<int> MailboxAccounts::mailboxesInUse() const {
    std::vector<int> numbers;
    for (int n = 1; n <= Count; ++n)
        if (!account(n).server.empty())
            numbers.push_back(n);
    return numbers;
}

bool MailboxAccounts::OnlyOneMailbox() const {
    if (account(1).server.empty())
        return false;
    for (int n = 2; n <= Count; ++n)
        if (!account(n).server.empty())
            return false;
    return true;
}

Status readServerSettings(GeneralSettings& settings, MailboxAccounts& accounts, TextCipher& cipher) {
    try {
        SettingsStore store;
        settings.logNaming = readLogNaming(store);
        accounts.which = store.read(keys::Which);
        if (accounts.which >= 1 && accounts.which <= MailboxAccounts::Count)
            accounts.selected = accounts.which;
        for (int n = 1; n <= MailboxAccounts::Count; ++n) {
            MailboxAccount& account = accounts.account(n);
            account.server = readAccountValue(store, serverName(n));
            account.userName = readAccountValue(store, mailboxName(n));
            const std::string stored = readAccountValue(store, passwdName(n));
            if (!stored.empty())
                account.password = decipherWith(cipher, stored);
        }
        return store.close();
    } catch (const SettingsError& error) {
        return Status::failure(error.what());
    } catch (const CipherConversionError& error) {
        return Status::failure(error.what());
    }
}

AccountsSaveResult saveServerSettings(const MailboxAccounts& accounts, TextCipher& cipher) {
    AccountsSaveResult result;
    SettingsStore store;
    store.write(keys::Which, accounts.selected);
    for (int n = 1; n <= MailboxAccounts::Count; ++n) {
        const MailboxAccount& account = accounts.account(n);
        store.WriteString(keys::Server, serverName(n), account.server);
        store.WriteString(keys::Server, mailboxName(n), account.userName);
        store.WriteString(keys::Server, passwdName(n),
                          account.password.empty() ? std::string() : encipherWith(cipher, account.password));
        std::string error;
        if (!account.server.empty() && account.userName.empty()) {
            error = "Mailbox " + std::to_string(n) + " has a server " + account.server + " but no mailbox";
            result.missing = AccountsSaveResult::Field::UserName;
        } else if (account.server.empty() && !account.userName.empty()) {
            error = "Mailbox " + std::to_string(n) + " " + account.userName + " has a blank server";
            result.missing = AccountsSaveResult::Field::Server;
        } else if (!account.server.empty() && !account.userName.empty() && account.password.empty()) {
            error = "Mailbox " + std::to_string(n) + " - there is no password set";
            result.missing = AccountsSaveResult::Field::Password;
        }
        if (!error.empty()) {
            result.mailbox = n;
            // What was written up to this mailbox stays written.
            const Status closed = store.close();
            result.status = closed.ok() ? Status::failure(error) : closed;
            return result;
        }
    }
    result.status = store.close();
    return result;
}

Status GetRemotePOPSettings(int n, Pop3ClientSettings& client, TextCipher& cipher, MessageBoxes& boxes) {
    try {
        SettingsStore store;
        const std::string old = readAccountValue(store, passwdName(n));
        const std::string marker = store.read(keys::Version161);
        // Writing the marker again when it is set would change nothing but cost a rewrite of the
        // store before every check.
        if (marker != keys::CurrentCipherMark)
            store.write(keys::Version161, keys::CurrentCipherMark);
        if (marker == keys::CurrentCipherMark) {
            // All three or nothing: a password that cannot be deciphered must not leave the client
            // with this mailbox's server and another mailbox's password.
            Pop3ClientSettings loaded;
            loaded.server = readAccountValue(store, serverName(n));
            loaded.userName = readAccountValue(store, mailboxName(n));
            const std::string stored = readAccountValue(store, passwdName(n));
            loaded.password = stored.empty() ? std::string() : decipherWith(cipher, stored);
            client = std::move(loaded);
        } else if (!old.empty()) {
            // Passwords of an earlier cipher cannot be read back: the user types them again.
            boxes.warning(RetypePasswordsWarning);
            for (int m = 1; m <= MailboxAccounts::Count; ++m)
                store.WriteString(keys::Server, passwdName(m), "");
        }
        return store.close();
    } catch (const SettingsError& error) {
        return Status::failure(error.what());
    } catch (const CipherConversionError& error) {
        return Status::failure(error.what());
    }
}

} // namespace veltrane
