#pragma once

#include "rules/blacklist.h"
#include "rules/domaincheck.h"
#include "rules/senderchecks.h"

namespace veltrane {

// The sender checks the classification asks: the domain check and the known-spammer blacklist,
// both owned elsewhere (by the main window) and only consulted here.
class SpamSenderChecks final : public SenderChecks {
public:
    SpamSenderChecks(const lbKnown& blacklist, DomainCheck& domains) : blacklist_(blacklist), domains_(domains) {}

    std::optional<std::string> unknownSenderDomain(const HeaderLines& headers) override {
        return domains_.CheckDomain(headers);
    }
    std::optional<KnownSpammer> knownSpammer(const std::string& senderAddress) override {
        return isInKnownList(blacklist_, senderAddress);
    }

private:
    const lbKnown& blacklist_;
    DomainCheck& domains_;
};

} // namespace veltrane
