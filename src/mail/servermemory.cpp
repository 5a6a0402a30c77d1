#include "mail/servermemory.h"

#include "base/atomicfile.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>

namespace veltrane {

namespace {

// A file larger than this was not written by us; it is ignored (and replaced at the next save).
constexpr size_t FileLimit = 64 * 1024;

// One line per server: "<key> <order of change> [STLS] [PIPELINING] [UIDL] [GREETING-FIRST]". The key tells the
// connection apart as well as the server, since a TLS session may offer other things.
std::string keyOf(const ServerAddress& address) {
    std::string host = address.host;
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
    const char* scheme = address.tls == TlsMode::Immediate ? "pop3s://"
                         : address.tls == TlsMode::Never   ? "pop3://"
                                                           : "";
    return scheme + host + ":" + std::to_string(address.port);
}

bool plainWord(const std::string& word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) { return c > ' ' && c < 127; });
}

} // namespace

ServerMemory::ServerMemory(QString file) : file_(std::move(file)) {}

static bool sameServer(const KnownServer& a, const KnownServer& b) {
    return a.offered.stls == b.offered.stls && a.offered.pipelining == b.offered.pipelining &&
           a.offered.uidl == b.offered.uidl && a.greetingFirst == b.greetingFirst;
}

std::optional<KnownServer> ServerMemory::recall(const ServerAddress& address) const {
    load();
    const auto found = known_.find(keyOf(address));
    if (found == known_.end())
        return std::nullopt;
    return found->second.server;
}

void ServerMemory::remember(const ServerAddress& address, const KnownServer& server) {
    load();
    const std::string key = keyOf(address);
    if (!plainWord(key))
        return;
    Entry& entry = known_[key];
    const bool changed = entry.used == 0 || !sameServer(entry.server, server);
    entry.server = server;
    // The order of use only matters once the memory is full; otherwise an unchanged server
    // costs no write.
    if (!changed && known_.size() < Capacity)
        return;
    entry.used = ++clock_;
    while (known_.size() > Capacity)
        known_.erase(std::min_element(known_.begin(), known_.end(),
                                      [](const auto& a, const auto& b) { return a.second.used < b.second.used; }));
    save();
}

void ServerMemory::forget(const ServerAddress& address) {
    load();
    if (known_.erase(keyOf(address)) > 0)
        save();
}

void ServerMemory::load() const {
    if (loaded_)
        return;
    loaded_ = true;
    if (file_.isEmpty())
        return;
    const std::optional<std::string> bytes = readWholeFile(file_);
    if (!bytes || bytes->size() > FileLimit)
        return;
    std::istringstream lines(*bytes);
    for (std::string line; std::getline(lines, line) && known_.size() < Capacity;) {
        std::istringstream words(line);
        std::string key;
        long long used = 0;
        if (!(words >> key >> used) || !plainWord(key) || used <= 0)
            continue; // not one of ours: dropped at the next save
        Entry entry;
        entry.used = used;
        for (std::string word; words >> word;) {
            entry.server.offered.stls |= word == "STLS";
            entry.server.offered.pipelining |= word == "PIPELINING";
            entry.server.offered.uidl |= word == "UIDL";
            entry.server.greetingFirst |= word == "GREETING-FIRST";
        }
        clock_ = std::max(clock_, used);
        known_[key] = entry;
    }
}

void ServerMemory::save() const {
    if (file_.isEmpty())
        return;
    std::string text;
    for (const auto& [key, entry] : known_) {
        text += key + " " + std::to_string(entry.used);
        if (entry.server.offered.stls)
            text += " STLS";
        if (entry.server.offered.pipelining)
            text += " PIPELINING";
        if (entry.server.offered.uidl)
            text += " UIDL";
        if (entry.server.greetingFirst)
            text += " GREETING-FIRST";
        text += "\n";
    }
    // Only speed depends on this file; a failed write leaves the sessions as they would be without it.
    (void)writeFileAtomically(file_, text);
}

} // namespace veltrane
