#pragma once

#include <string>
#include <utility>

namespace veltrane {

// The outcome of an operation that can fail with a text meant for the user.
// A failure always carries a non-empty text; the caller decides whether to show it.
class [[nodiscard]] Status {
public:
    static Status success() { return Status(); }
    static Status failure(std::string text) { return Status(std::move(text)); }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    Status() = default;
    explicit Status(std::string text) : error_(text.empty() ? std::string("Unknown error") : std::move(text)) {}
    std::string error_;
};

} // namespace veltrane
