#pragma once

#include "settings/messageboxes.h"

#include <deque>
#include <string>
#include <vector>

namespace veltrane::test {

// Message boxes that record what they were asked to show and answer confirmations from a queue
// filled in advance (No when it runs dry).
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string kind; // "error", "warning", "information", "confirm"
        std::string text;
        bool operator==(const Shown&) const = default;
    };

    void setNextAnswer(bool yes) { answers_.push_back(yes); }

    void error(const std::string& text) override { shown.push_back({"error", text}); }
    void warning(const std::string& text) override { shown.push_back({"warning", text}); }
    void information(const std::string& text) override { shown.push_back({"information", text}); }
    bool confirm(const std::string& text) override {
        shown.push_back({"confirm", text});
        if (answers_.empty())
            return false;
        const bool yes = answers_.front();
        answers_.pop_front();
        return yes;
    }

    std::vector<Shown> shown;

private:
    std::deque<bool> answers_;
};

} // namespace veltrane::test
