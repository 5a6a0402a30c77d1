#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace veltrane {

enum class TlsMode {
    Immediate,        // TLS from the first byte (pop3s:// or port 995)
    UpgradeIfOffered, // plain, switched to TLS with STLS when the server offers it
    Never,            // pop3:// asks for a plain session whatever the server offers
};

struct ServerAddress {
    std::string host;
    int port = 0;
    TlsMode tls = TlsMode::UpgradeIfOffered;

    bool operator==(const ServerAddress&) const = default;
};

// The port of a TCP service in the system's services table; 0 when it is not listed.
int systemServicePort(const char* service);

constexpr int ImplicitTlsPort = 995;

// Reads a mailbox's server field: "host", "host:port", "pop3://host[:port]" or "pop3s://host[:port]"
// (an IPv6 address goes in brackets). The port is the number after the colon when it is a valid
// non-zero port; otherwise 995 for pop3s://, else the "pop3" service's port, else defaultPort.
ServerAddress ParseServer(std::string_view server, int defaultPort,
                          const std::function<int(const char*)>& servicePort = systemServicePort);

} // namespace veltrane
