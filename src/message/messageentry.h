#pragma once

#include "message/markstate.h"

#include <string>
#include <vector>

namespace veltrane {

using HeaderLines = std::vector<std::string>;

// What the POP3 client keeps of one message; item i stands for message number i + 1.
struct MessageInfo {
    bool retrieve = false;
    bool remove = false; // the delete flag
    long long size = 0;
    // The lines TOP returned up to, not including, the first empty line; folded lines stay
    // separate and nothing is decoded.
    HeaderLines headerLines;
};

// One row of the message list; row i describes message number i + 1 on the server.
struct MessageEntry {
    std::string subject;
    std::string sender; // the address alone
    std::string size;   // decimal byte count
    std::string date;   // locale text, or the raw header value when it could not be read
    MarkState mark = Mark::None;

    bool operator==(const MessageEntry&) const = default;
};

// Builds the row for one listed message.
MessageEntry FillEntry(const MessageInfo& info);

} // namespace veltrane
