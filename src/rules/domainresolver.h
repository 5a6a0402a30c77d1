#pragma once

#include <string>

namespace veltrane {

// Asks a DNS server about a sender's domain. The rules need only the verdict; how the question
// travels is the resolver's business, so the rules themselves need no network.
class DomainResolver {
public:
    virtual ~DomainResolver() = default;

    // True when the server answered the MX question for the domain without an error code, whether
    // or not the answer holds an MX record; false for every kind of failure, a time-out included.
    // The domain is asked exactly as given. May wait for the answer.
    virtual bool domainAnswers(const std::string& domain) = 0;
};

} // namespace veltrane
