#pragma once

#include <string>

namespace veltrane {

// What the rules need to know of the configured mailboxes.
class MailboxAccountsView {
public:
    static constexpr int Count = 12;
    virtual ~MailboxAccountsView() = default;
    // Mailbox n counts from 1 to Count.
    virtual std::string server(int n) const = 0;
    virtual std::string userName(int n) const = 0;
};

// The number (1 to 12) of the first mailbox whose server and user name equal the given ones
// without regard to case; 0 when none does.
int serverToIndex(const MailboxAccountsView& accounts, const std::string& server, const std::string& userName);

} // namespace veltrane
