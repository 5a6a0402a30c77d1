// Renders the main window after a check of a Dovecot mailbox filled with sample mail to a PNG,
// for looking at the window without a desktop (run under Xvfb: scripts/screenshot-main.sh).
// Beside it go the window before the check, the splash and progress windows, the drop-down panel
// of the settings button, and a sheet of all our pictures at 16 and 32 pixels.

#include "base/clock.h"
#include "message/markstate.h"
#include "rules/rulebook.h"
#include "servers/pop3/dovecotserver.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "settings/tempconfighome.h"
#include "settings/textcipher.h"
#include "support/tempfolder.h"
#include "ui/messagelistmodel.h"
#include "ui/optRetrieve.h"
#include "ui/pictures.h"
#include "ui/qtmessageboxes.h"
#include "ui/rmmain.h"
#include "ui/splash.h"

#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLocale>
#include <QPainter>
#include <QTimer>
#include <iostream>

using namespace veltrane;

namespace {

std::string sample(const std::string& from, const std::string& subject, int day) {
    return "From: " + from + "\r\nTo: me@home.example\r\nSubject: " + subject + "\r\nDate: " + std::to_string(day) +
           " Nov 2026 08:1" + std::to_string(day % 10) + ":00 +0100\r\n\r\nHello,\r\nbody text\r\n";
}

bool save(QWidget& widget, const QString& path) {
    const bool ok = widget.grab().save(path);
    std::cerr << (ok ? "wrote " : "could not write ") << path.toStdString() << "\n";
    return ok;
}

// Every picture of ours at 16 and 32 pixels, on white and on a dark panel.
bool saveSheet(const QString& path) {
    QStringList names;
    for (int i = 0; i < Mark::IconCount; ++i)
        names << QStringLiteral("B%1").arg(i);
    names << "hammer"
          << "anim1"
          << "anim2"
          << "down"
          << "up"
          << "stop"
          << "bye"
          << "door"
          << "mark"
          << "delete"
          << "remark"
          << "reset"
          << "launch"
          << "options"
          << "general"
          << "spam"
          << "stats"
          << "about"
          << "help";
    QImage sheet(names.size() * 40 + 8, 4 * 40 + 8, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.fillRect(0, 2 * 40 + 4, sheet.width(), 2 * 40 + 4, QColor(0x30, 0x38, 0x48));
    for (int i = 0; i < names.size(); ++i) {
        const QIcon icon = i < Mark::IconCount ? MarkIcons()[static_cast<size_t>(i)] : picture(names[i]);
        for (int band = 0; band < 2; ++band) {
            const int top = 4 + band * 84;
            p.drawPixmap(4 + i * 40 + 8, top + 8, icon.pixmap(16, 16));
            p.drawPixmap(4 + i * 40, top + 40, icon.pixmap(32, 32));
        }
    }
    p.end();
    const bool ok = sheet.save(path);
    std::cerr << (ok ? "wrote " : "could not write ") << path.toStdString() << "\n";
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    app.setQuitOnLastWindowClosed(false);
    initPictures();
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main.png");
    const QString folder = QFileInfo(output).absolutePath();

    test::TempConfigHome config;
    test::TempDataFolder data;
    test::DovecotServer dovecot;
    dovecot.addUser("demo", "demo");
    if (!dovecot.start()) {
        std::cerr << "Dovecot did not start: " << dovecot.error() << "\n";
        return 1;
    }
    const std::pair<const char*, const char*> messages[] = {
        {"Anna Berg <anna@home.example>", "Photos from Saturday"},
        {"\"Lucky Draw\" <winner@prizes.example>", "You WIN a FREE cruise!!!"},
        {"news@list.example", "Weekly notes: release 2.4"},
        {"deals@cheap-pills.example", "=?UTF-8?B?R8O8bnN0aWdlIFBpbGxlbg==?= - save 90%"},
        {"Tom <tom@work.example>", "Re: meeting moved to 3pm"},
        {"offers@bulkmail.example", "Cheap watches, today only"},
        {"bank-alert@secure-login.example", "Verify your account now"},
        {"Mum <mum@home.example>", "Sunday lunch?"},
    };
    int day = 1;
    for (const auto& [from, subject] : messages)
        dovecot.addMessage("demo", sample(from, subject, day++));
    data.write("known.lst", "bulkmail.example\r\n");

    RuleBook rules;
    rules.subject.addRule({"", "Contains", "free", "No", "Yes", "0"});
    rules.subject.addRule({"", "Contains (whole word)", "offer", "No", "Yes", "0"});
    rules.subject.addRule({"", "Contains", "verify", "No", "No", "0"});
    rules.sender.addRule({"", "Domain name", "Contains", "pills", "Yes", "0"});
    rules.exceptions.addRule({"E-mail address", "Equals", "mum@home.example", "No", "0", "", "7"});
    rules.exceptions.addRule({"Domain name", "Equals", "list.example", "No", "0", "", "11"});
    rules.options.domainCheckOn = false; // the sample domains exist nowhere
    GeneralSettings settings;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    {
        SettingsStore store;
        store.write(keys::Version161, keys::CurrentCipherMark);
        (void)store.close();
    }
    accounts.account(1) = {dovecot.address(), "demo", "demo"};
    if (!saveServerSettings(accounts, cipher).ok())
        return 1;

    SystemClock clock;
    QtMessageBoxes boxes;
    auto* splash = new TfrmSplash;
    splash->show();
    TfrmMain window({rules, settings, accounts, clock, boxes}, splash, {});
    boxes.setParent(&window);
    TfrmRetrieving progress(&window);
    window.setProgressWindow(&progress);
    QCoreApplication::processEvents();
    bool ok = saveSheet(folder + "/pictures.png");
    if (window.splash())
        ok = save(*window.splash(), folder + "/splash.png") && ok;
    ok = save(window, folder + "/start.png") && ok; // ready, nothing listed yet: the slogan
    ok = save(*window.popup1, folder + "/options.png") && ok;

    bool progressSaved = false;
    QObject::connect(window.listModel, &QAbstractItemModel::rowsInserted, &window, [&](const QModelIndex&, int row) {
        if (row == 3 && !progressSaved) {
            QCoreApplication::processEvents();
            progressSaved = save(progress, folder + "/progress.png");
        }
    });
    window.btListClick();
    window.ListView1->selectionModel()->select(window.ListView1->model()->index(4, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCoreApplication::processEvents();
    ok = save(window, output) && ok;
    std::cerr << window.statusText().toStdString() << "\n";
    return ok && progressSaved ? 0 : 1;
}
