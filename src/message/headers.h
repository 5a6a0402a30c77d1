#pragma once

#include "base/text.h"
#include "message/messageentry.h"

#include <QDateTime>
#include <string>
#include <string_view>

namespace veltrane {

// A header field's value: folded lines joined, cut to 255 characters, encoded words decoded
// (the character set is left as it is). Empty when the field is absent.
std::string GetHeader(const HeaderLines& lines, std::string_view name);

struct SplitAddressResult {
    std::string address;
    std::string name;
};
SplitAddressResult SplitAddress(std::string_view text);

struct MailDate {
    QDateTime dateTime; // invalid when no date could be read
    std::string zone;   // as written; it is not applied
    bool valid() const { return dateTime.isValid(); }
};
MailDate ParseMailDate(std::string_view text);

} // namespace veltrane
