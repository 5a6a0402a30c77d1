#pragma once

#include "mail/pop3reply.h"
#include "mail/serveraddress.h"

#include <QString>
#include <map>
#include <optional>
#include <string>

namespace veltrane {

struct KnownServer {
    // stls: STLS was offered on the plain connection; pipelining and uidl: what the session's
    // final CAPA offered (after STLS, when the session was upgraded).
    Capabilities offered;
    // Commands sent before its greeting once went unanswered: it gets them after the greeting.
    bool greetingFirst = false;
};

// What each server offered at its last session, kept between sessions and between runs of the
// program. A session with a server that pipelined last time sends CAPA and the whole login at
// once, before the greeting, instead of waiting for each. Being wrong costs little: the session
// still reads the CAPA reply and the replies come in order whatever the server offers; a server
// that stops pipelining is remembered so, and one that left such a start unanswered gets its
// commands after the greeting from then on.
class ServerMemory {
public:
    // With an empty file name the memory lives only as long as this object.
    explicit ServerMemory(QString file = {});

    std::optional<KnownServer> recall(const ServerAddress& address) const;
    void remember(const ServerAddress& address, const KnownServer& server);
    void forget(const ServerAddress& address);

    // Servers beyond this many are dropped, the least recently used first.
    static constexpr size_t Capacity = 64;

private:
    struct Entry {
        KnownServer server;
        long long used = 0; // order of change, for dropping the oldest
    };
    void load() const;
    void save() const;

    QString file_;
    mutable bool loaded_ = false;
    mutable std::map<std::string, Entry> known_;
    mutable long long clock_ = 0;
};

} // namespace veltrane
