#pragma once

#include "settings/settingsstore.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace veltrane::test {

// A temporary configuration folder ($XDG_CONFIG_HOME) while it lives, so the settings store of a
// test is its own and never the user's.
class TempConfigHome {
public:
    TempConfigHome() : previous_(qgetenv("XDG_CONFIG_HOME")), had_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    }
    ~TempConfigHome() {
        if (had_)
            qputenv("XDG_CONFIG_HOME", previous_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    QString path() const { return dir_.path(); }
    // The store's file inside it.
    QString storeFile() const { return settingsLocation(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool had_;
};

} // namespace veltrane::test
