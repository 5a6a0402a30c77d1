#pragma once

#include "settings/messageboxes.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace veltrane {

// The four kinds of message box as modal Qt boxes over a parent window.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void error(const std::string& text) override;
    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    bool confirm(const std::string& text) override;

private:
    QPointer<QWidget> parent_;
};

// Hands every box to another implementation after running a step first: the main window hides the
// splash window, which stays on top, before any box appears.
class BoxesBefore final : public MessageBoxes {
public:
    BoxesBefore(MessageBoxes& boxes, std::function<void()> before) : boxes_(&boxes), before_(std::move(before)) {}
    void setBoxes(MessageBoxes& boxes) { boxes_ = &boxes; }

    void error(const std::string& text) override {
        before_();
        boxes_->error(text);
    }
    void warning(const std::string& text) override {
        before_();
        boxes_->warning(text);
    }
    void information(const std::string& text) override {
        before_();
        boxes_->information(text);
    }
    bool confirm(const std::string& text) override {
        before_();
        return boxes_->confirm(text);
    }

private:
    MessageBoxes* boxes_;
    std::function<void()> before_;
};

} // namespace veltrane
