#pragma once

#include "message/messageentry.h"

#include <optional>
#include <string>

namespace veltrane {

// The two tests of the classification that do not come from the rule lists: the sender-domain
// check and the known-spammer blacklist. The classification asks them only when their option is
// on, and writes their reason lines itself.
class SenderChecks {
public:
    virtual ~SenderChecks() = default;

    // The domain that was tested (Reply-to or From) when it is unknown; nothing when the tested
    // domain is known or there was none to test. May wait for a DNS answer.
    virtual std::optional<std::string> unknownSenderDomain(const HeaderLines& headers) = 0;

    struct KnownSpammer {
        std::string kind;    // "E-mail" or "Domain"
        std::string matched; // the address or the domain found on the blacklist
    };
    virtual std::optional<KnownSpammer> knownSpammer(const std::string& senderAddress) = 0;
};

} // namespace veltrane
