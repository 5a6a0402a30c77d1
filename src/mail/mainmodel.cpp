#include "mail/mainmodel.h"

#include "base/datafolder.h"
#include "rules/textmatch.h"
#include "settings/messageboxes.h"

#include <algorithm>

namespace veltrane {

MainModel::MainModel(MainWindowView& view, RuleBook& rules, GeneralSettings& settings, MailboxAccounts& accounts,
                     const Clock& clock)
    : view_(view), rules_(rules), settings_(settings), accounts_(accounts), classifier_(rules),
      log_([this] { return settings_.logFile; }, clock) {
    client_.settings().messageDirectory = dataFolder() + "/";
    classifier_.setMailboxNumber([this] { return serverToIndex(); });

    connect(&client_, &Pop3Client::OnOpen, this, &MainModel::msRemotePOP1Open, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnUpdatingInfo, this, &MainModel::msRemotePOP1UpdatingInfo, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnNextInfoUpdated, this, &MainModel::msRemotePOP1NextInfoUpdated,
            Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnClosing, this, &MainModel::msRemotePOP1Closing, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnClosed, this, &MainModel::msRemotePOP1Closed, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnInfoUpdated, this, &MainModel::msRemotePOP1InfoUpdated, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnTransferringData, this, &MainModel::msRemotePOP1TransferringData,
            Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnDataTransfered, this, &MainModel::msRemotePOP1DataTransfered,
            Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnCancel, this, &MainModel::msRemotePOP1Cancel, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnError, this, &MainModel::msRemotePOP1Error, Qt::DirectConnection);
}

MainModel::~MainModel() = default;

Status MainModel::applyMailbox(int n) {
    Pop3ClientSettings account{client_.settings().server, client_.settings().userName, client_.settings().password};
    Status status = GetRemotePOPSettings(n, account, cipher_, view_.messageBoxes());
    if (accountOverride_)
        accountOverride_(account);
    client_.settings().server = account.server;
    client_.settings().userName = account.userName;
    client_.settings().password = account.password;
    return status;
}

int MainModel::serverToIndex() const {
    return veltrane::serverToIndex(accounts_, client_.settings().server, client_.settings().userName);
}

int MainModel::markedCount() const {
    int count = 0;
    for (const auto& e : entries_)
        count += isMarkedForDeletion(e.mark) ? 1 : 0;
    return count;
}

void MainModel::ShowTotalCount() {
    view_.setStatusText("Message Total: " + std::to_string(entries_.size()) +
                        " Number Marked: " + std::to_string(markedCount()));
}

void MainModel::enableAllButtons() {
    view_.setButtonsReady(!entries_.empty());
}
void MainModel::disableAllButtons() {
    view_.setButtonsBusy();
}
void MainModel::setExitFormNormal() {
    view_.setExitButtonCancelForm(false, SysTrayMode);
}
void MainModel::updateCheckButtonImage() {
    view_.setCheckButtonImage(entries_.empty());
}

void MainModel::MarkForDeletion(int index) {
    classifier_.MarkForDeletion(entries_, client_.Infos(), index);
    view_.rowsChanged();
}

std::vector<std::string> MainModel::explain(int row) {
    if (row < 0 || static_cast<size_t>(row) >= entries_.size())
        return {};
    const MarkState kept = entries_[static_cast<size_t>(row)].mark;
    entries_[static_cast<size_t>(row)].mark = Mark::None;
    classifier_.ExplainMode = true;
    classifier_.ReasonLines.clear();
    classifier_.MarkForDeletion(entries_, client_.Infos(), row);
    classifier_.ExplainMode = false;
    if (static_cast<size_t>(row) < entries_.size())
        entries_[static_cast<size_t>(row)].mark = kept;
    return std::move(classifier_.ReasonLines);
}

bool MainModel::btListClick() {
    if (client_.busy())
        return false; // one operation at a time; the busy buttons normally keep this from happening
    Status applied = applyMailbox(CurrentMailbox);
    view_.stopAlarm();
    if (!applied.ok()) {
        view_.messageBoxes().error(applied.error());
        return false;
    }
    const Pop3Settings& pop = client_.settings();
    if (IsBlank(pop.userName)) {
        view_.messageBoxes().error("You need to enter your e-mail username in the settings.");
        view_.openGeneralSettings();
        return false;
    }
    if (IsBlank(pop.server)) {
        view_.messageBoxes().error("You need to enter the name of your mail server in the settings.");
        view_.openGeneralSettings();
        return false;
    }

    if (MinutesLeft > 0 && (!AutomaticRun || view_.mainWindowVisible())) {
        const std::vector<int> inUse = accounts_.mailboxesInUse();
        const bool others = std::any_of(inUse.begin(), inUse.end(), [](int n) { return n >= 2; });
        if (others) {
            std::vector<std::string> choices;
            int preselected = -1;
            for (int n : inUse) {
                if (n == CurrentMailbox)
                    preselected = static_cast<int>(choices.size());
                choices.push_back(std::to_string(n) + ") Mailbox " + accounts_.account(n).userName + " - Server " +
                                  accounts_.account(n).server);
            }
            const std::optional<int> chosen = view_.chooseMailbox(choices, preselected);
            if (!chosen)
                return false; // cancelled: nothing happens, nothing is logged
            if (*chosen >= 0 && static_cast<size_t>(*chosen) < inUse.size())
                CurrentMailbox = inUse[static_cast<size_t>(*chosen)];
        }
        accounts_.selected = CurrentMailbox; // synchronizeIwhich
        if (Status again = applyMailbox(CurrentMailbox); !again.ok()) {
            view_.messageBoxes().error(again.error());
            return false;
        }
    }

    client_.settings().keepSessionOpen = OnlyOneMailbox();
    const bool triggerWasEnabled = view_.checkTriggerEnabled();
    view_.setCheckTriggerEnabled(false);
    entries_.clear();
    view_.listCleared();
    view_.setExitButtonCancelForm(true, SysTrayMode);
    disableAllButtons();
    if (view_.mainWindowVisible() || !AutomaticRun)
        view_.showProgress("Retrieving messages ... standby", client_.settings().server, client_.settings().userName);
    Checking = true;
    view_.setTrayMenuEnabled(false);

    const Status listed = client_.ListHeaders();
    view_.setTrayMenuEnabled(true);
    if (!listed.ok()) {
        lastError_ = listed.error();
        if (!(AutomaticRun && !view_.mainWindowVisible())) {
            // The window stays busy until the user presses Cancel.
            view_.messageBoxes().error(listed.error());
            return false;
        }
        // A hidden automatic run goes on with whatever was listed.
    }

    Checking = false;
    view_.hideProgress();
    enableAllButtons();
    setExitFormNormal();
    updateCheckButtonImage();
    view_.setCheckTriggerEnabled(triggerWasEnabled);

    log_.WriteMailCheck(static_cast<long long>(entries_.size()), client_.settings().userName,
                        client_.settings().server);

    if (entries_.empty() && !settings_.automatic && settings_.exit) {
        if (SysTrayMode)
            view_.hideToTray();
        else
            view_.closeMainWindow();
    }
    ShowTotalCount();
    (void)Savesettings(rules_, dataFolder()); // a file that cannot be written keeps its content, silently
    return listed.ok();
}

void MainModel::cancelClick() {
    view_.stopAlarm();
    client_.Cancel();
    if (Checking) {
        entries_.clear();
        view_.listCleared();
    }
    Checking = false;
    enableAllButtons();
    view_.hideProgress();
}

// -- The POP3 client's events ----------------------------------------------------------------

void MainModel::msRemotePOP1Open() {
    view_.setProgressLabel("Opening connection ... ");
    view_.setProgressBar(false, 0, 0);
    view_.setStatusText("Opening connection for " + client_.settings().userName + " on " + client_.settings().server);
}

void MainModel::msRemotePOP1UpdatingInfo() {
    view_.setProgressLabel("Updating headers ... ");
    view_.setProgressBar(false, 0, 0);
    view_.setStatusText("Updating headers");
}

void MainModel::msRemotePOP1NextInfoUpdated(int index) {
    const int count = client_.MessageCount();
    entries_.push_back(FillEntry(client_.Info(index)));
    const int row = static_cast<int>(entries_.size()) - 1;
    view_.rowAppended(row);
    view_.setStatusText("Checking message " + std::to_string(index + 1) + " of " + std::to_string(count) +
                        " total waiting messages");
    MarkForDeletion(row);
    view_.setProgressLabel("Message " + std::to_string(index + 1) + " of " + std::to_string(count));
    view_.setProgressBar(true, count, index + 1);
}

void MainModel::msRemotePOP1Closing() {
    view_.setStatusText("Closing connection");
}

void MainModel::msRemotePOP1Closed() {
    view_.setStatusText("Connection closed");
}

void MainModel::msRemotePOP1InfoUpdated() {
    view_.hideProgress();
    view_.setStatusText(std::to_string(client_.InfoCount()) + " msg(s) for " + client_.settings().userName + " on " +
                        client_.settings().server);
    MarkForDeletion(-1);
    enableAllButtons();
}

void MainModel::msRemotePOP1TransferringData() {
    view_.setProgressLabel("Transferring data ... ");
    view_.setStatusText("Transferring data");
}

void MainModel::msRemotePOP1DataTransfered() {
    view_.setStatusText("Data has been transfered");
}

void MainModel::msRemotePOP1Cancel() {
    view_.setStatusText("Operation has been canceled");
    setExitFormNormal();
    view_.setTrayIconHammer();
    updateCheckButtonImage();
    log_.WriteCanceled(client_.settings().userName, client_.settings().server);
}

void MainModel::msRemotePOP1Error(std::string& text) {
    lastError_ = text;
    view_.setStatusText(text);
    updateCheckButtonImage();
    log_.WriteError(text, client_.settings().userName, client_.settings().server);
}

} // namespace veltrane
