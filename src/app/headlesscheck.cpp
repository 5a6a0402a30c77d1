#include "app/headlesscheck.h"

#include "base/atomicfile.h"
#include "base/datafolder.h"
#include "base/displaytext.h"
#include "dns/mxresolver.h"
#include "mail/mainmodel.h"
#include "rules/blacklist.h"
#include "rules/domaincheck.h"
#include "rules/spamsenderchecks.h"
#include "settings/messageboxes.h"

#include <QCommandLineParser>
#include <optional>
#include <ostream>

namespace veltrane {

namespace {

// Texts from the network go out as UTF-8, on one line each: control bytes would break the columns.
std::string oneLine(const std::string& bytes) {
    std::string text = displayText(bytes).toStdString();
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = ' ';
    return text;
}

class ConsoleBoxes final : public MessageBoxes {
public:
    explicit ConsoleBoxes(std::ostream& err) : err_(err) {}
    void error(const std::string& text) override { lastError = text; }
    void warning(const std::string& text) override { err_ << "warning: " << text << "\n"; }
    void information(const std::string& text) override { err_ << text << "\n"; }
    bool confirm(const std::string& text) override {
        // Nobody to ask: --delete is the user's yes, anything else gets the cautious answer.
        err_ << text << (yes ? " (yes)\n" : " (no)\n");
        return yes;
    }
    std::string lastError;
    bool yes = false;

private:
    std::ostream& err_;
};

// The main window of a program without one: it keeps the status text and answers nothing.
class ConsoleView final : public MainWindowView {
public:
    explicit ConsoleView(std::ostream& err) : boxes(err) {}
    MessageBoxes& messageBoxes() override { return boxes; }
    void setStatusText(const std::string& text) override { status = text; }
    void setCaption(const std::string&) override {}
    void showProgress(const std::string&, const std::string&, const std::string&) override {}
    void hideProgress() override {}
    void setProgressLabel(const std::string&) override {}
    void setProgressBar(bool, int, int) override {}
    void setButtonsBusy() override {}
    void setButtonsReady(bool) override {}
    void setExitButtonCancelForm(bool, bool) override {}
    void setCheckButtonImage(bool) override {}
    void setTrayIconHammer() override {}
    void setTrayMenuEnabled(bool) override {}
    void listCleared() override {}
    void rowAppended(int) override {}
    void rowsChanged() override {}
    bool checkTriggerEnabled() const override { return false; }
    void setCheckTriggerEnabled(bool) override {}
    std::optional<int> chooseMailbox(const std::vector<std::string>&, int) override { return std::nullopt; }
    void openGeneralSettings() override {}
    bool mainWindowVisible() const override { return true; }
    void hideToTray() override {}
    void closeMainWindow() override {}
    void stopAlarm() override {}

    ConsoleBoxes boxes;
    std::string status;
};

struct Options {
    int mailbox = 0; // 0: the selected one
    std::optional<std::string> server, user, password;
    int explain = 0;
    bool remove = false;
    QString logFile;
};

std::optional<Options> parse(const QStringList& arguments, std::ostream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Checks a POP3 mailbox for spam with the rules of Veltrane.");
    parser.addOptions({
        {"mailbox", "The mailbox to check (1 to 12); the selected one by default.", "N"},
        {"server", "Use this server for the run (HOST[:PORT], pop3s://HOST[:PORT]).", "HOST"},
        {"user", "Use this user name for the run.", "NAME"},
        {"password-file", "Read the password for the run from this file (its first line).", "FILE"},
        {"explain", "Print the reasons why message N was marked.", "N"},
        {"log", "Write the activity log of this run to FILE.", "FILE"},
        {"delete", "After the check, delete the marked messages on the server."},
    });
    parser.addHelpOption();
    if (!parser.parse(arguments)) {
        err << parser.errorText().toStdString() << "\n";
        return std::nullopt;
    }
    if (parser.isSet("help")) {
        err << parser.helpText().toStdString();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "Unexpected argument: " << parser.positionalArguments().first().toStdString() << "\n";
        return std::nullopt;
    }
    Options o;
    bool ok = true;
    if (parser.isSet("mailbox")) {
        o.mailbox = parser.value("mailbox").toInt(&ok);
        if (!ok || o.mailbox < 1 || o.mailbox > MailboxAccountsView::Count) {
            err << "--mailbox takes a number from 1 to 12\n";
            return std::nullopt;
        }
    }
    if (parser.isSet("explain")) {
        o.explain = parser.value("explain").toInt(&ok);
        if (!ok || o.explain < 1) {
            err << "--explain takes a message number from 1 on\n";
            return std::nullopt;
        }
    }
    if (parser.isSet("server"))
        o.server = parser.value("server").toStdString();
    if (parser.isSet("user"))
        o.user = parser.value("user").toStdString();
    if (parser.isSet("password-file")) {
        const auto bytes = readWholeFile(parser.value("password-file"));
        if (!bytes) {
            err << "Cannot read the password file " << parser.value("password-file").toStdString() << "\n";
            return std::nullopt;
        }
        o.password = bytes->substr(0, bytes->find_first_of("\r\n"));
    }
    o.logFile = parser.value("log");
    o.remove = parser.isSet("delete");
    return o;
}

} // namespace

int runHeadlessCheck(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    const std::optional<Options> options = parse(arguments, err);
    if (!options)
        return 2;

    GeneralSettings settings;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    RuleBook rules;
    for (const Status& status : {ReadGeneralSettings(settings), readServerSettings(settings, accounts, cipher),
                                 readSettings(rules, dataFolder())}) {
        if (!status.ok()) {
            err << status.error() << "\n";
            return 1;
        }
    }

    lbKnown blacklist;
    if (Status loaded = LoadUpKnownList(blacklist); !loaded.ok())
        err << "warning: " << loaded.error() << "\n";
    MxResolver resolver;
    DomainCheck domains(resolver, rules.options);
    SpamSenderChecks senderChecks(blacklist, domains);

    SystemClock clock;
    ConsoleView view(err);
    MainModel model(view, rules, settings, accounts, clock);
    model.classifier().setSenderChecks(&senderChecks);
    model.setLogFileOverride(options->logFile);
    model.CurrentMailbox = options->mailbox ? options->mailbox : accounts.selected;

    // The replacements stand in the account for this run only, so that the rules that name a
    // mailbox see the run as a check of that mailbox; nothing is saved.
    MailboxAccount& account = accounts.account(model.CurrentMailbox);
    if (options->server)
        account.server = *options->server;
    if (options->user)
        account.userName = *options->user;
    if (options->password)
        account.password = *options->password;
    model.setAccountOverride([&account](Pop3ClientSettings& client) {
        client.server = account.server;
        client.userName = account.userName;
        client.password = account.password;
    });

    const bool done = model.btListClick();
    if (!done) {
        const std::string& text = view.boxes.lastError.empty() ? model.lastError() : view.boxes.lastError;
        err << (text.empty() ? std::string("The check failed") : text) << "\n";
        return 1;
    }

    const auto& entries = model.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const MessageEntry& e = entries[i];
        out << (i + 1) << '\t' << e.mark << '\t' << e.size << '\t' << oneLine(e.sender) << '\t' << oneLine(e.subject)
            << '\t' << oneLine(e.date) << '\n';
    }
    out << view.status << '\n';

    if (options->explain) {
        if (static_cast<size_t>(options->explain) > entries.size()) {
            err << "There is no message " << options->explain << "\n";
            return 2;
        }
        for (const std::string& line : model.explain(options->explain - 1))
            out << oneLine(line) << '\n';
    }

    if (options->remove) {
        view.boxes.yes = true;
        model.launchAllowed = false; // no mail program is started from a terminal
        view.status.clear();
        const bool deleted = model.btDeleteClick();
        if (!deleted && !view.boxes.lastError.empty()) {
            err << view.boxes.lastError << "\n";
            return 1;
        }
        if (!view.status.empty() && deleted)
            out << view.status << '\n';
    }
    return 0;
}

} // namespace veltrane
