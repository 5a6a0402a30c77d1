#pragma once

#include "settings/mailboxaccounts.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "settings/textcipher.h"

#include <gtest/gtest.h>
#include <vector>

namespace veltrane::test {

// Puts the given mailboxes (1, 2, ...; the rest empty) into the accounts and the settings store,
// marked with the current cipher as after a first start.
inline void storeAccounts(MailboxAccounts& accounts, TextCipher& cipher, const std::vector<MailboxAccount>& list) {
    SettingsStore store;
    store.write(keys::Version161, keys::CurrentCipherMark);
    ASSERT_TRUE(store.close().ok());
    for (int n = 1; n <= MailboxAccounts::Count; ++n)
        accounts.account(n) =
            static_cast<size_t>(n) <= list.size() ? list[static_cast<size_t>(n) - 1] : MailboxAccount{};
    ASSERT_TRUE(saveServerSettings(accounts, cipher).ok());
}

} // namespace veltrane::test
