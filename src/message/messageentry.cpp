#include "message/messageentry.h"

#include "message/datetext.h"
#include "message/headers.h"

namespace veltrane {

MessageEntry FillEntry(const MessageInfo& info) {
    MessageEntry entry;
    entry.subject = GetHeader(info.headerLines, "Subject");
    entry.sender = SplitAddress(GetHeader(info.headerLines, "From")).address;
    entry.size = std::to_string(info.size);
    const std::string date = GetHeader(info.headerLines, "Date");
    const MailDate parsed = ParseMailDate(date);
    entry.date = parsed.valid() ? dateTimeText(parsed.dateTime).toStdString() : date;
    entry.mark = Mark::None;
    return entry;
}

} // namespace veltrane
