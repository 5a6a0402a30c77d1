#include "rules/domaincheck.h"

#include "message/headers.h"
#include "rules/textmatch.h"

namespace veltrane {

namespace {

std::string lowerCase(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return lower;
}

} // namespace

std::string domainOfAddress(const std::string& address) {
    const size_t at = address.find('@');
    return at == std::string::npos ? address : address.substr(at + 1);
}

std::optional<std::string> DomainCheck::CheckDomain(const HeaderLines& headers) {
    const std::string replyTo = domainOfAddress(SplitAddress(GetHeader(headers, "Reply-to:")).address);
    const std::string from = domainOfAddress(SplitAddress(GetHeader(headers, "From:")).address);
    if (replyTo.empty() && from.empty())
        return std::nullopt;
    const std::string& tested = (EqualsText(replyTo, from, false) || !replyTo.empty()) ? replyTo : from;
    if (qUnknownDomain(tested))
        return tested;
    return std::nullopt;
}

bool DomainCheck::qUnknownDomain(const std::string& domain) {
    const std::string lower = lowerCase(domain);
    if (ok_.count(lower))
        return false;
    if (bad_.count(lower))
        return true;
    const bool answers = resolver_.domainAnswers(domain);
    // The lookup lets other work run while it waits; that work may have judged the domain meanwhile.
    if (ok_.count(lower))
        return false;
    if (bad_.count(lower))
        return true;
    if (answers) {
        ok_.insert(lower);
        return false;
    }
    bumpUnknown(options_);
    bad_.insert(lower);
    return true;
}

} // namespace veltrane
