#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veltrane {

class MessageBoxes;

// What the mail sequences (check, deletion, inspection, automatic run) ask of the main window.
// The window implements it; tests record the calls. All texts are final, user-visible texts.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    virtual MessageBoxes& messageBoxes() = 0;
    // The second panel of the status bar.
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setCaption(const std::string& caption) = 0;

    // The progress window: showing it empties its message label, shows the server and mailbox,
    // sets the title, starts the animation and hides the bar.
    virtual void showProgress(const std::string& title, const std::string& server, const std::string& userName) = 0;
    virtual void hideProgress() = 0;
    virtual void setProgressLabel(const std::string& text) = 0;
    virtual void setProgressBar(bool visible, int maximum, int position) = 0;

    // Busy: check and settings buttons disabled, the five action buttons hidden, slogan shown.
    // Ready: check and settings enabled; the action buttons shown only when the list has rows.
    virtual void setButtonsBusy() = 0;
    virtual void setButtonsReady(bool listHasRows) = 0;
    // The exit button (and the tray menu's Exit) as "Cancel", or back to "E&xit" / "&Hide".
    virtual void setExitButtonCancelForm(bool cancelForm, bool sysTrayMode) = 0;
    // The check button's picture: one for an empty list, another for a list with rows.
    virtual void setCheckButtonImage(bool listEmpty) = 0;
    virtual void setTrayIconHammer() = 0;
    virtual void setTrayMenuEnabled(bool enabled) = 0;

    // The message list: emptied, a row appended at the end, marks of existing rows changed.
    virtual void listCleared() = 0;
    virtual void rowAppended(int row) = 0;
    virtual void rowsChanged() = 0;

    // The one-minute trigger of the automatic check.
    virtual bool checkTriggerEnabled() const = 0;
    virtual void setCheckTriggerEnabled(bool enabled) = 0;

    // The mailbox choice: entries "%d) Mailbox %s - Server %s"; the index of the chosen entry,
    // or nothing when the choice was cancelled. `preselected` is the entry shown first (-1: none).
    virtual std::optional<int> chooseMailbox(const std::vector<std::string>& entries, int preselected) = 0;
    virtual void openGeneralSettings() = 0;

    virtual bool mainWindowVisible() const = 0;
    // The rows selected in the message list, in list order.
    virtual std::vector<int> selectedRows() const { return {}; }

    // The text window (headers, body, reasons), shown modally.
    enum class TextWindowMode { Headers, Reasons, Body };
    virtual void showTextWindow(TextWindowMode mode, const std::string& text) {
        (void)mode;
        (void)text;
    }

    // The automatic-check captions: the title label and the tray hint, the tray menu's two
    // check marks, and the animated tray icon.
    virtual void setTitleLabel(const std::string& text) { (void)text; }
    virtual void setTrayHint(const std::string& text) { (void)text; }
    virtual void setAutomaticMenuChecks(bool automatic) { (void)automatic; }
    virtual void setTrayAnimated(bool animated) { (void)animated; }
    virtual void hideToTray() = 0;
    virtual void closeMainWindow() = 0;
    virtual void stopAlarm() = 0;
};

} // namespace veltrane
