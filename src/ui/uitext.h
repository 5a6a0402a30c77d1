#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace veltrane {

// Texts from mail and files are bytes: shown as UTF-8 when they are valid UTF-8, else as
// Windows-1252, the code page such texts most often come in.
QString shownText(std::string_view bytes);

// What the user typed, as the bytes the core keeps (UTF-8).
std::string typedText(const QString& text);

} // namespace veltrane
