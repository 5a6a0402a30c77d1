#pragma once

#include "mail/pop3reply.h"
#include "mail/serveraddress.h"

#include <QString>
#include <map>
#include <optional>
#include <string>

namespace veltrane {

// What each server offered at its last session, kept between sessions and between runs of the
// program. A session with a server that pipelined last time sends CAPA and the whole login at
// once instead of waiting a round trip for each. Being wrong costs nothing but that speed: the
// session still reads the CAPA reply, replies come in order whatever the server offers, and a
// server that stops pipelining, or a session that fails before its CAPA reply, is forgotten.
class ServerMemory {
public:
    // With an empty file name the memory lives only as long as this object.
    explicit ServerMemory(QString file = {});

    // stls: STLS was offered on the plain connection; pipelining and uidl: what the session's
    // final CAPA offered (after STLS, when the session was upgraded).
    std::optional<Capabilities> recall(const ServerAddress& address) const;
    void remember(const ServerAddress& address, const Capabilities& offered);
    void forget(const ServerAddress& address);

    // Servers beyond this many are dropped, the least recently used first.
    static constexpr size_t Capacity = 64;

private:
    struct Entry {
        Capabilities offered;
        long long used = 0; // order of use, for dropping the oldest
    };
    void load() const;
    void save() const;

    QString file_;
    mutable bool loaded_ = false;
    mutable std::map<std::string, Entry> known_;
    mutable long long clock_ = 0;
};

} // namespace veltrane
