#include "rules/mailboxes.h"

#include "rules/textmatch.h"

namespace veltrane {

int serverToIndex(const MailboxAccountsView& accounts, const std::string& server, const std::string& userName) {
    for (int n = 1; n <= MailboxAccountsView::Count; ++n)
        if (EqualsText(accounts.server(n), server, false) && EqualsText(accounts.userName(n), userName, false))
            return n;
    return 0;
}

} // namespace veltrane
