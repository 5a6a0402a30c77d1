#pragma once

#include "message/messageentry.h"
#include "rules/domainresolver.h"
#include "rules/ruleoptions.h"

#include <optional>
#include <string>
#include <unordered_set>

namespace veltrane {

// The sender-domain check: whether the domain of a message's Reply-to or From address exists.
// Each domain costs at most one lookup per run: the verdicts are kept, in lower case, for as long
// as the object lives, and each unknown domain is counted once, when it is first found.
class DomainCheck {
public:
    DomainCheck(DomainResolver& resolver, RuleOptions& options) : resolver_(resolver), options_(options) {}

    // The domain that was tested when it is unknown; nothing when it is known or there is none.
    // The Reply-to domain is tested when there is one, else the From domain.
    std::optional<std::string> CheckDomain(const HeaderLines& headers);

    // One domain's verdict, from the caches or from a lookup; true when unknown.
    bool qUnknownDomain(const std::string& domain);

    const std::unordered_set<std::string>& lbOkDomains() const { return ok_; }
    const std::unordered_set<std::string>& lbBadDomains() const { return bad_; }

private:
    DomainResolver& resolver_;
    RuleOptions& options_;
    std::unordered_set<std::string> ok_;
    std::unordered_set<std::string> bad_;
};

// The part of an address after its first at sign, or the whole address when it has none.
std::string domainOfAddress(const std::string& address);

} // namespace veltrane
