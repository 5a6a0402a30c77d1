#include "mail/mainmodel.h"

#include "base/atomicfile.h"
#include "base/datafolder.h"
#include "mail/mimebody.h"
#include "rules/textmatch.h"
#include "settings/messageboxes.h"

#include <QFile>
#include <QProcess>
#include <algorithm>

namespace veltrane {

MainModel::MainModel(MainWindowView& view, RuleBook& rules, GeneralSettings& settings, MailboxAccounts& accounts,
                     const Clock& clock)
    : view_(view), rules_(rules), settings_(settings), accounts_(accounts),
      serverMemory_(dataFile(QStringLiteral("pop3servers.txt"))), classifier_(rules),
      log_([this] { return logFileOverride_.isEmpty() ? settings_.logFile : logFileOverride_; }, clock) {
    client_.settings().messageDirectory = dataFolder() + "/";
    client_.settings().memory = &serverMemory_;
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
    connect(&client_, &Pop3Client::OnDeleting, this, &MainModel::msRemotePOP1Deleting, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnRetrieving, this, &MainModel::msRemotePOP1Retrieving, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnRetrieved, this, &MainModel::msRemotePOP1Retrieved, Qt::DirectConnection);
    connect(&client_, &Pop3Client::OnUserMessageSave, this, &MainModel::msRemotePOP1UserMessageSave,
            Qt::DirectConnection);
    launcher_ = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
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

// -- Deleting marked messages ------------------------------------------------------------------

namespace veltrane {

bool MainModel::btDeleteClick() {
    if (Deleting || client_.busy())
        return false;
    Deleting = true;
    view_.stopAlarm();
    view_.setCheckTriggerEnabled(false);
    const bool deleted = DeleteMessages();
    Deleting = false;
    UpdateAutomaticCaptions(settings_.automatic, settings_.minutes);
    return deleted;
}

bool MainModel::DeleteMessages() {
    const int marked = markedCount();
    const int total = static_cast<int>(entries_.size());
    if (marked == 0) {
        if (!settings_.automatic && settings_.ask)
            view_.messageBoxes().information("There were no messages marked to delete!");
        return false;
    }
    if (!settings_.automatic && settings_.ask &&
        !view_.messageBoxes().confirm("Really delete " + std::to_string(marked) + " messages from server?"))
        return false;

    for (int row = 0; row < total; ++row)
        if (isMarkedForDeletion(entries_[static_cast<size_t>(row)].mark))
            client_.FlagForDeletion(row);
    DeleteTotal = marked;
    DeleteProgress = 1;
    disableAllButtons();
    log_.OpenLogFile();
    view_.setExitButtonCancelForm(true, SysTrayMode);
    const bool showProgress = view_.mainWindowVisible() || !AutomaticRun;
    if (showProgress)
        view_.showProgress("Deleting messages ... standby", client_.settings().server, client_.settings().userName);

    const Status applied = client_.ApplyFlags();
    if (!applied.ok()) {
        // The run stops here: no count, the rows keep their marks, and the window stays busy until
        // the user presses Cancel. The blocks written so far stay in the log.
        log_.CloseLogFile();
        for (int row = 0; row < client_.InfoCount(); ++row)
            client_.ClearFlags(row);
        lastError_ = applied.error();
        view_.messageBoxes().error(applied.error());
        return false;
    }
    log_.CloseLogFile();
    // The items stay until the next listing (none follows when the mail program is launched); a
    // delete flag left on them must never reach another ApplyFlags.
    for (int row = 0; row < client_.InfoCount(); ++row)
        client_.ClearFlags(row);
    addToCount(settings_, marked);
    (void)SaveGeneralSettings(settings_); // a store that cannot be written loses the count, not the run
    entries_.clear();
    view_.listCleared();

    const bool mailLeft = total != marked;
    if (!mailLeft || settings_.automatic || !settings_.launch) {
        if (showProgress)
            view_.showProgress("Retrieving messages ... standby", client_.settings().server,
                               client_.settings().userName);
        if (Status listed = client_.ListHeaders(); !listed.ok()) {
            lastError_ = listed.error();
            view_.messageBoxes().error(listed.error());
            return true; // deleted all the same; the window stays busy as after a failed check
        }
    }
    enableAllButtons();
    setExitFormNormal();
    view_.setStatusText("There were " + std::to_string(marked) + " messages deleted");
    view_.setTrayHint(std::to_string(marked) + " spams deleted");
    updateCheckButtonImage();
    view_.hideProgress();
    if (mailLeft && showProgress && settings_.launch && launchAllowed)
        btLaunchClick();
    return true;
}

void MainModel::msRemotePOP1Deleting(int index) {
    const MessageEntry empty;
    const MessageEntry& entry =
        index >= 0 && static_cast<size_t>(index) < entries_.size() ? entries_[static_cast<size_t>(index)] : empty;
    view_.setProgressLabel("Deleting " + entry.subject);
    view_.setProgressBar(true, DeleteTotal, DeleteProgress);
    ++DeleteProgress;
    view_.setStatusText("Deleting " + std::to_string(index + 1) + " " + entry.subject);
    if (log_.isOpen())
        log_.WriteDeletedSpam(client_.settings().server, client_.settings().userName, entry.subject, entry.sender,
                              entry.size, entry.date);
}

void MainModel::UpdateAutomaticCaptions(bool on, int minutes) {
    std::string caption = "Veltrane";
    if (on) {
        view_.setCheckTriggerEnabled(true);
        caption += " - next e-mail check in " + std::to_string(minutes) + " minute" + (minutes == 1 ? "" : "s");
    } else {
        view_.setCheckTriggerEnabled(false);
    }
    view_.setCaption(caption);
    view_.setTitleLabel(caption);
    view_.setTrayHint(caption);
    view_.setAutomaticMenuChecks(on);
    view_.setTrayAnimated(on);
}

void MainModel::btLaunchClick() {
    view_.setCheckTriggerEnabled(false);
    view_.stopAlarm();
    const std::string& mailer = settings_.mailer.toStdString();
    if (IsBlank(mailer)) {
        view_.messageBoxes().error("Mail program not specified in the general settings. ");
    } else {
        // The field holds a program, possibly with arguments of its own, as a shell would take it.
        QStringList words = QProcess::splitCommand(settings_.mailer);
        const QString program =
            QFile::exists(settings_.mailer) || words.isEmpty() ? settings_.mailer : words.takeFirst();
        if (QFile::exists(settings_.mailer))
            words.clear();
        if (settings_.mailer.contains("netscape"))
            words << "-mail";
        if (launcher_(program, words)) {
            // The mail program must be able to reach the mailbox: end any session still open.
            disableAllButtons();
            entries_.clear();
            view_.listCleared();
            client_.Cancel();
            enableAllButtons();
        } else {
            view_.messageBoxes().error("Unable to launch mail program. ");
        }
    }
    if (settings_.automatic)
        view_.setCheckTriggerEnabled(true);
}

// -- Message inspection ------------------------------------------------------------------------

QString MainModel::bodyFile(int index) {
    return dataFolder() + "/msg_" + QString::number(index) + ".eml";
}

void MainModel::CleanUpEMLFiles() {
    for (int index = 0; index <= 100; ++index)
        QFile::remove(bodyFile(index));
}

void MainModel::NadaSelected() {
    view_.messageBoxes().information(
        entries_.empty() ? "Either there are no e-mail messages waiting on the mail server or you have not yet "
                           "clicked on the \"Check E-Mail\" button."
                         : "No messages were selected.  To select one message click on a subject.  To select "
                           "multiple messages drag the mouse over the list of desired subjects.");
}

void MainModel::pauseTrigger() {
    view_.stopAlarm();
    view_.setCheckTriggerEnabled(false);
}

void MainModel::resumeTrigger() {
    if (settings_.automatic)
        view_.setCheckTriggerEnabled(true);
}

std::optional<int> MainModel::oneSelectedRow() {
    const std::vector<int> rows = view_.selectedRows();
    if (rows.empty()) {
        NadaSelected();
        return std::nullopt;
    }
    if (rows.size() > 1)
        view_.messageBoxes().information("You have selected more than one message to view.  Only one message can "
                                         "be viewed at one time.  The first one selected will be displayed.");
    return rows.front();
}

std::string MainModel::headersText(const std::vector<int>& rows) const {
    const std::string stars(38, '*');
    std::string text;
    for (int row : rows) {
        if (row < 0 || static_cast<size_t>(row) >= entries_.size())
            continue;
        const MessageEntry& e = entries_[static_cast<size_t>(row)];
        text += stars + "\n" + "Subject : " + e.subject + " Sender : " + e.sender + "\n" + stars + "\n";
        if (row < client_.InfoCount())
            for (const std::string& line : client_.Info(row).headerLines)
                text += line + "\n";
    }
    return text;
}

void MainModel::ViewHeader1Click() {
    pauseTrigger();
    const std::vector<int> rows = view_.selectedRows();
    if (rows.empty())
        NadaSelected();
    else
        view_.showTextWindow(MainWindowView::TextWindowMode::Headers, headersText(rows));
    resumeTrigger();
}

std::string MainModel::reasonsText(int row) {
    if (row < 0 || static_cast<size_t>(row) >= entries_.size())
        return {};
    const MessageEntry& e = entries_[static_cast<size_t>(row)];
    std::vector<std::string> lines = {"Message from " + e.sender, "Subject of   " + e.subject, ""};
    const MarkState earlier = e.mark;
    entries_[static_cast<size_t>(row)].mark = Mark::None;
    classifier_.ExplainMode = true;
    classifier_.ReasonLines.clear();
    classifier_.MarkForDeletion(entries_, client_.Infos(), row);
    classifier_.ExplainMode = false;
    if (static_cast<size_t>(row) >= entries_.size())
        return {}; // the list was emptied while a domain lookup waited
    const MarkState now = entries_[static_cast<size_t>(row)].mark;
    lines.insert(lines.end(), classifier_.ReasonLines.begin(), classifier_.ReasonLines.end());
    if (lines.size() == 3)
        lines.push_back("Message was neither on the exception list nor on the list of matching criteria");
    if (earlier == Mark::Delete && now != Mark::Delete)
        lines.push_back("** You marked this message **");
    if (earlier == Mark::None && now != Mark::None)
        lines.push_back("** You un-marked this message **");
    entries_[static_cast<size_t>(row)].mark = earlier;
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

void MainModel::Why1Click() {
    pauseTrigger();
    if (const auto row = oneSelectedRow())
        view_.showTextWindow(MainWindowView::TextWindowMode::Reasons, reasonsText(*row));
    resumeTrigger();
}

void MainModel::ViewMessages1Click() {
    pauseTrigger();
    const std::optional<int> row = oneSelectedRow();
    if (!row || *row >= client_.InfoCount()) {
        resumeTrigger();
        return;
    }
    const MessageEntry& e = entries_[static_cast<size_t>(*row)];
    long long size = 0;
    try {
        size = std::stoll(e.size);
    } catch (...) {
        size = 0;
    }
    if (size > 50000 &&
        !view_.messageBoxes().confirm("The message you have selected to view is quite large - " + e.size + " bytes. " +
                                      "Are you sure you wish to download and view it?")) {
        resumeTrigger();
        return;
    }
    client_.FlagForRetrieval(*row);
    client_.settings().messageDirectory = dataFolder() + "/";
    disableAllButtons();
    view_.showProgress("Retrieving messages ... standby", client_.settings().server, client_.settings().userName);
    const Status applied = client_.ApplyFlags();
    if (!applied.ok()) {
        lastError_ = applied.error();
        client_.ClearFlags(*row);
        view_.messageBoxes().error(applied.error());
        return; // busy until "Click to cancel"
    }
    view_.hideProgress();
    enableAllButtons();
    for (int selected : view_.selectedRows())
        client_.ClearFlags(selected);
    client_.ClearFlags(*row);

    std::string error;
    const std::optional<std::string> text = messageBodyText(bodyFile(*row), error);
    if (!text)
        view_.messageBoxes().error(error);
    else
        view_.showTextWindow(MainWindowView::TextWindowMode::Body, *text);
    resumeTrigger();
}

void MainModel::msRemotePOP1Retrieving(int index) {
    view_.setProgressLabel("Retrieving ... ");
    view_.setStatusText("Retrieving " + std::to_string(index + 1));
}

void MainModel::msRemotePOP1Retrieved(int index) {
    view_.setStatusText("Message " + std::to_string(index + 1) + " retrieved");
}

void MainModel::msRemotePOP1UserMessageSave(int index, const std::string& data) {
    if (Status written = writeFileAtomically(bodyFile(index), data); !written.ok())
        lastError_ = written.error(); // reading the file back reports it to the user
}

} // namespace veltrane
