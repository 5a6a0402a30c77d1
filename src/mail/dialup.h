#pragma once

#include "base/status.h"

namespace veltrane {

// A dial-up connection the mail client may have to make before it can reach a server.
// The Linux build has none; the interface keeps the client's sequence complete for systems that do.
class DialUpLink {
public:
    virtual ~DialUpLink() = default;
    // Whether an entry to dial was chosen.
    virtual bool hasEntry() const = 0;
    // Whether a dial-up connection is up already.
    virtual bool active() const = 0;
    // Dials the chosen entry and waits for the outcome.
    virtual Status dial() = 0;
    virtual void hangUp() = 0;
};

} // namespace veltrane
