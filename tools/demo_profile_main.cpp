// veltrane-demo-profile: writes mailbox 1 (server, user, enciphered password) and the log file
// name into the settings store, the way the general settings window would. Used by the demo
// script to point a fresh profile at its demo mailbox; XDG_CONFIG_HOME and VELTRANE_HOME choose
// the profile.

#include "base/datafolder.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "settings/textcipher.h"

#include <QCoreApplication>
#include <iostream>

int main(int argc, char** argv) {
    using namespace veltrane;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::cerr << "usage: veltrane-demo-profile SERVER USER PASSWORD\n";
        return 2;
    }
    {
        SettingsStore store;
        store.write(keys::Version161, keys::CurrentCipherMark);
        if (Status closed = store.close(); !closed.ok()) {
            std::cerr << closed.error() << "\n";
            return 1;
        }
    }
    GeneralSettings general;
    MailboxAccounts accounts;
    TextCipher cipher{std::string(PasswordKey)};
    (void)ReadGeneralSettings(general);
    general.logFile = dataFile("logfile.txt");
    general.automatic = false;
    accounts.account(1) = {args[1].toStdString(), args[2].toStdString(), args[3].toStdString()};
    accounts.selected = 1;
    if (Status saved = SaveGeneralSettings(general); !saved.ok()) {
        std::cerr << saved.error() << "\n";
        return 1;
    }
    if (AccountsSaveResult saved = saveServerSettings(accounts, cipher); !saved.ok()) {
        std::cerr << saved.status.error() << "\n";
        return 1;
    }
    return 0;
}
