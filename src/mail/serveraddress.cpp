#include "mail/serveraddress.h"

#include <netdb.h>
#include <netinet/in.h>

namespace veltrane {

namespace {

bool startsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != prefix[i])
            return false;
    }
    return true;
}

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A port number: decimal digits only, 1 to 65535; 0 for anything else.
int portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

} // namespace

int systemServicePort(const char* service) {
    // getservbyname is not reentrant, but everything here runs on the one user-interface thread.
    const servent* entry = getservbyname(service, "tcp");
    return entry ? ntohs(static_cast<uint16_t>(entry->s_port)) : 0;
}

ServerAddress ParseServer(std::string_view server, int defaultPort,
                          const std::function<int(const char*)>& servicePort) {
    ServerAddress address;
    std::string_view rest = trimSpaces(server);
    if (startsWithFolded(rest, "pop3s://")) {
        address.tls = TlsMode::Immediate;
        rest.remove_prefix(8);
    } else if (startsWithFolded(rest, "pop3://")) {
        address.tls = TlsMode::Never;
        rest.remove_prefix(7);
    }
    if (address.tls != TlsMode::UpgradeIfOffered && !rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);

    std::string_view host = rest;
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[' && rest.find(']') != std::string_view::npos) {
        const size_t close = rest.find(']');
        host = rest.substr(1, close - 1);
        std::string_view after = rest.substr(close + 1);
        if (!after.empty() && after.front() == ':')
            portText = after.substr(1);
    } else if (const size_t colon = rest.find(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
    }
    address.host = std::string(host);

    address.port = portNumber(portText);
    if (address.port == 0) {
        if (address.tls == TlsMode::Immediate) {
            address.port = ImplicitTlsPort;
        } else {
            address.port = servicePort ? servicePort("pop3") : 0;
            if (address.port <= 0 || address.port > 65535)
                address.port = defaultPort;
        }
    }
    if (address.tls == TlsMode::UpgradeIfOffered && address.port == ImplicitTlsPort)
        address.tls = TlsMode::Immediate;
    return address;
}

} // namespace veltrane
