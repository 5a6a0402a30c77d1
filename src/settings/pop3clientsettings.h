#pragma once

#include <string>

namespace veltrane {

// What a mailbox account puts into the POP3 client before a check: the only three settings of the
// client that change between mailboxes (its port and time-out are fixed).
struct Pop3ClientSettings {
    std::string server; // host, optionally ":port" or a pop3:// / pop3s:// form
    std::string userName;
    std::string password; // plain text

    bool operator==(const Pop3ClientSettings&) const = default;
};

} // namespace veltrane
