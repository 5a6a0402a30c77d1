#pragma once

#include <QString>
#include <string_view>

namespace veltrane {

// Bytes from mail and files as a person reads them: UTF-8 when they are valid UTF-8, else
// Windows-1252, the code page most 8-bit mail without a declared character set is written in.
QString displayText(std::string_view bytes);

// Typed text goes back to bytes as UTF-8.
std::string storedText(const QString& text);

} // namespace veltrane
