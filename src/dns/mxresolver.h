#pragma once

#include "rules/domainresolver.h"

#include <QString>
#include <chrono>
#include <string>
#include <vector>

namespace veltrane {

struct MxLookupResult {
    bool ok = false;                    // an answer without error code arrived
    std::string error;                  // why the lookup failed; empty when it did not
    std::vector<std::string> exchanges; // the MX hosts the answer names, possibly none
};

// MX lookups on c-ares. Each lookup sends one query (type MX, class IN, recursion desired, a random
// identifier) and waits for its answer in a local event loop, so the windows stay responsive and
// other work of the thread goes on meanwhile; lookups may nest. Needs the application object (the
// event loop) of the thread it runs on.
class MxResolver final : public DomainResolver {
public:
    static constexpr std::chrono::milliseconds DefaultLimit{60000};

    // server: "host:port" (port 53 when left out, IPv6 hosts in brackets). When empty, the
    // environment variable VELTRANE_DNS_SERVER is used, and when that is empty too, the system's
    // resolver configuration.
    explicit MxResolver(QString server = {}, std::chrono::milliseconds limit = DefaultLimit);

    // The longest a lookup waits for its answer, retries included.
    void setTimeLimit(std::chrono::milliseconds limit) { limit_ = limit; }
    std::chrono::milliseconds timeLimit() const { return limit_; }
    // The server override in effect, empty for the system's configuration.
    const QString& server() const { return server_; }

    MxLookupResult lookUp(const std::string& domain);

    bool domainAnswers(const std::string& domain) override { return lookUp(domain).ok; }

private:
    QString server_;
    std::chrono::milliseconds limit_;
};

// The text for a DNS error code of an answer.
std::string dnsErrorText(int code);

} // namespace veltrane
