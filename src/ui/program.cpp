#include "ui/program.h"

#include "base/clock.h"
#include "base/datafolder.h"
#include "rules/rulebook.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/textcipher.h"
#include "ui/firstinstance.h"
#include "ui/optRetrieve.h"
#include "ui/pictures.h"
#include "ui/qtmessageboxes.h"
#include "ui/rmmain.h"
#include "ui/splash.h"

#include <QApplication>
#include <QDir>
#include <QFile>

namespace veltrane {

void seedDataFolder() {
    initPictures();
    const QDir seed(QStringLiteral(":/veltrane/seed"));
    for (const QString& name : seed.entryList(QDir::Files)) {
        const QString target = dataFile(name);
        if (QFileInfo::exists(target))
            continue;
        if (QFile::copy(seed.filePath(name), target))
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner); // copies of resources are read-only
    }
}

namespace {

// What the windows that are not built here (spam settings, general settings) would own.
struct LongLivedState {
    RuleBook rules;
    GeneralSettings settings;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    SystemClock clock;
    QtMessageBoxes boxes;
};

} // namespace

int runVeltrane(QApplication& app) {
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvell"));
    QCoreApplication::setApplicationName(QStringLiteral("Veltrane"));
    // In tray mode no window may be open; the program ends with the main window, not the last one.
    app.setQuitOnLastWindowClosed(false);
    initPictures();
    app.setWindowIcon(picture(QStringLiteral("hammer")));

    // A second start hands over to the first before anything shows or any file is touched.
    FirstInstance guard;
    if (guard.anotherInstanceAnswered())
        return 0;

    seedDataFolder();

    auto* splash = new TfrmSplash;
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    LongLivedState state;
    TfrmMain main({state.rules, state.settings, state.accounts, state.clock, state.boxes}, splash, {});
    state.boxes.setParent(&main);
    QObject::connect(&guard, &FirstInstance::raiseRequested, &main, &TfrmMain::bringToFront);
    QObject::connect(&main, &TfrmMain::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    // The rules, as the spam settings window loads them.
    if (Status read = readSettings(state.rules, dataFolder()); !read.ok())
        main.messageBoxes().error(read.error());
    TfrmRetrieving progress(&main);
    main.setProgressWindow(&progress);
    // The general settings and accounts, as the general settings window loads them.
    if (Status read = ReadGeneralSettings(state.settings); !read.ok())
        main.messageBoxes().error(read.error());
    if (Status read = readServerSettings(state.settings, state.accounts, state.cipher); !read.ok())
        main.messageBoxes().error(read.error());

    return app.exec();
}

} // namespace veltrane
