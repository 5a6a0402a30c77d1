#pragma once

#include "base/status.h"

#include <QString>
#include <optional>
#include <string>

namespace veltrane {

// Replaces the file's whole content at once: the new bytes go to a temporary file that takes the
// file's place only when completely written, so a crash never leaves half a file behind.
Status writeFileAtomically(const QString& path, const std::string& bytes);

// The file's bytes, or nothing when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const QString& path);

} // namespace veltrane
