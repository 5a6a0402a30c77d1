#pragma once

#include <QString>
#include <optional>
#include <string>

namespace veltrane {

// The readable text of a stored message: the bytes of a RETR reply (dot-stuffed, with its
// terminating line) read as a MIME message, its first text part with the transfer encoding undone
// and its character set turned into UTF-8. Attachments and other parts are left out.
std::optional<std::string> messageBodyText(const QString& path, std::string& error);

// The same for message bytes already in memory.
std::string messageBodyTextOf(const std::string& retrData);

} // namespace veltrane
