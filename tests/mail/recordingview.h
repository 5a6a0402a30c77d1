#pragma once

#include "mail/mainwindowview.h"
#include "settings/recordingmessageboxes.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace veltrane::test {

// The main window as the sequences see it, recording every call as a short text
// ("status Updating headers", "progress shown", "buttons busy") and answering the questions
// (mailbox choice, visibility) as the test sets them.
class RecordingView final : public MainWindowView {
public:
    MessageBoxes& messageBoxes() override { return boxes; }
    void setStatusText(const std::string& text) override {
        status = text;
        add("status " + text);
    }
    void setCaption(const std::string& text) override { add("caption " + text); }
    void showProgress(const std::string& title, const std::string& server, const std::string& user) override {
        progressShown = true;
        add("progress shown " + title + " | " + server + " | " + user);
    }
    void hideProgress() override {
        progressShown = false;
        add("progress hidden");
    }
    void setProgressLabel(const std::string& text) override { add("label " + text); }
    void setProgressBar(bool shown, int maximum, int position) override {
        add(shown ? "bar " + std::to_string(position) + "/" + std::to_string(maximum) : "bar hidden");
    }
    void setButtonsBusy() override {
        busy = true;
        add("buttons busy");
    }
    void setButtonsReady(bool rows) override {
        busy = false;
        add(rows ? "buttons ready with rows" : "buttons ready");
    }
    void setExitButtonCancelForm(bool cancelForm, bool) override {
        exitCancelForm = cancelForm;
        add(cancelForm ? "exit cancel" : "exit normal");
    }
    void setCheckButtonImage(bool empty) override { add(empty ? "check image down" : "check image up"); }
    void setTrayIconHammer() override { add("tray hammer"); }
    void setTrayMenuEnabled(bool enabled) override { add(enabled ? "tray menu on" : "tray menu off"); }
    void listCleared() override { add("list cleared"); }
    void rowAppended(int row) override {
        add("row " + std::to_string(row));
        if (onRow)
            onRow(row);
    }
    void rowsChanged() override {}
    bool checkTriggerEnabled() const override { return trigger; }
    void setCheckTriggerEnabled(bool enabled) override { trigger = enabled; }
    std::optional<int> chooseMailbox(const std::vector<std::string>& entries, int preselected) override {
        choices = entries;
        add("choose " + std::to_string(preselected));
        return choice;
    }
    void openGeneralSettings() override { add("general settings"); }
    bool mainWindowVisible() const override { return visible; }
    void hideToTray() override { add("hide to tray"); }
    void closeMainWindow() override { add("close"); }
    void stopAlarm() override {}
    std::vector<int> selectedRows() const override { return selection; }
    void showTextWindow(TextWindowMode mode, const std::string& text) override {
        shownTexts.push_back({mode, text});
        add("text window");
    }
    void setTrayHint(const std::string& text) override { add("tray hint " + text); }

    bool has(const std::string& call) const {
        for (const auto& c : calls)
            if (c == call)
                return true;
        return false;
    }
    // The status texts, in order.
    std::vector<std::string> statusTexts() const {
        std::vector<std::string> texts;
        for (const auto& c : calls)
            if (c.rfind("status ", 0) == 0)
                texts.push_back(c.substr(7));
        return texts;
    }

    RecordingMessageBoxes boxes;
    std::vector<std::string> calls;
    std::string status;
    bool busy = false;
    bool progressShown = false;
    bool exitCancelForm = false;
    bool trigger = true;
    bool visible = true;
    std::optional<int> choice;
    std::vector<std::string> choices;
    std::function<void(int)> onRow;
    std::vector<int> selection;
    std::vector<std::pair<TextWindowMode, std::string>> shownTexts;

private:
    void add(std::string call) { calls.push_back(std::move(call)); }
};

} // namespace veltrane::test
