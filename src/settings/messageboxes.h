#pragma once

#include <string>

namespace veltrane {

// The four kinds of modal message box, as the core asks for them. The windows implement it with
// real boxes; tests answer it in advance.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void error(const std::string& text) = 0;
    virtual void warning(const std::string& text) = 0;
    virtual void information(const std::string& text) = 0;
    // Yes and No; true for Yes.
    virtual bool confirm(const std::string& text) = 0;
};

} // namespace veltrane
