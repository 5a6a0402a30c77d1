#pragma once

#include <string>
#include <string_view>

namespace veltrane {

// Leading and trailing spaces and control characters removed (every byte up to the space);
// bytes from 128 up are text and stay.
std::string trimText(std::string_view text);

} // namespace veltrane
